// The page's worker: the broker connection and the whole fleet's state live here, off the page's
// main thread, which only draws. The page is sent at most one batch of changes per frame it draws:
// it says "ready" when it has drawn the last one, and everything that came in meanwhile goes in
// the next. A batch holds the counts, the order when it changed, and what the tiles the page
// shows now read (it says which: "show").
//
// Chromium runs this script although the broker serves it without a Content-Type, but refuses
// importScripts() of a script without one ("MIME type ('') is not executable"): the libraries
// below are fetched as text and imported through one Blob URL of type text/javascript.
'use strict';

var LIBRARIES = ['vendor/mqtt.min.js', 'kinds.js', 'format.js', 'history.js', 'news.js', 'fleet.js'];
var TICK_MS = 5000;
// Waiting this long after subscribing for a vehicle's kept configuration before asking for it.
var CONFIG_WAIT_MS = 1500;

var facts = null;
var fleet = null;
var news = null;
var client = null;
var session = null;
var everConnected = false;
var connectedSince = 0;
var attempt = 0;
var retryTimer = null;
var pageReady = false;
var sendTimer = null;
var watching = null;
var detailDue = false;
var newsText = '';
var newsDue = false;
var clock = function () { return Date.now(); };

function post(message, transfer) {
    self.postMessage(message, transfer || []);
}

function loadLibraries() {
    return Promise.all(LIBRARIES.map(function (name) {
        return fetch(name).then(function (response) {
            if (!response.ok)
                throw new Error(name + ': HTTP ' + response.status);
            return response.text();
        });
    })).then(function (texts) {
        var url = URL.createObjectURL(new Blob(texts.map(function (t) { return t + '\n;\n'; }), { type: 'text/javascript' }));
        try {
            importScripts(url);
        } finally {
            URL.revokeObjectURL(url);
        }
        return fetch('facts.json');
    }).then(function (response) {
        if (!response.ok)
            throw new Error('facts.json: HTTP ' + response.status);
        return response.json();
    }).then(function (json) {
        if (!Array.isArray(json.selfTestNames) || !(json.silentAfterSec > 0) || !(json.slowP99Ms > 0) || !(json.heartbeatSec > 0))
            throw new Error('facts.json lacks the self-test names or the thresholds');
        facts = json;
        news = News.create(facts);
        fleet = Fleet.create(facts, { liveStatus: news.status });
    });
}

function randomHex(bytes) {
    var a = new Uint8Array(bytes);
    crypto.getRandomValues(a);
    return Array.prototype.map.call(a, function (b) { return (b < 16 ? '0' : '') + b.toString(16); }).join('');
}

// The one place that opens the broker connection: its address, its options and the client id.
// The client id is the login, ':' and a random part: the depot broker's guard ties an id to its
// login that way, and several pages with one login work side by side. Reconnecting is left to scheduleRetry() (backoff with jitter), not to the library.
function openConnection(url, login, password) {
    return mqtt.connect(url, {
        username: login,
        password: password,
        // MQTT 5: the broker then says why it refuses a request (a viewer asking for a
        // screenshot) instead of dropping it in silence.
        protocolVersion: 5,
        clean: true,
        clientId: login + ':' + randomHex(8),
        reconnectPeriod: 0,
        connectTimeout: 10000,
        keepalive: 30,
        // The depot's front (websockify) speaks the "binary" subprotocol, mosquitto's own
        // websockets listener "mqtt": both are offered, and each server takes its own.
        // "binary" first: websockify 0.10 splits the offer at commas without trimming, and
        // finds only the first name.
        createWebsocket: function (address, protocols) {
            return new WebSocket(address, ['binary'].concat(protocols));
        },
        // Subscribed afresh on every connection below; the library's own resubscription
        // would ask twice and bring every retained message twice.
        resubscribe: false
    });
}

function cleanError(err) {
    return Format.cleanText(err && err.message ? err.message : String(err));
}

function setConnection(state, text) {
    post({ type: 'connection', state: state, text: text });
}

function stop() {
    clearTimeout(retryTimer);
    retryTimer = null;
    if (client) {
        client.removeAllListeners();
        client.on('error', function () {});
        client.end(true);
        client = null;
    }
}

function scheduleRetry() {
    var wait = Format.reconnectDelay(attempt++, Math.random);
    setConnection('reconnecting', 'Reconnecting in ' + Math.ceil(wait / 1000) + ' s\u2026');
    clearTimeout(retryTimer);
    retryTimer = setTimeout(function () {
        retryTimer = null;
        if (client) {
            setConnection('reconnecting', 'Reconnecting\u2026');
            client.reconnect();
        }
    }, wait);
}

// Subscribing to the vehicle's own topics brings its kept messages again, whole this time.
function watchTopics(id) {
    return ['ui/status', 'ui/info', 'ui/diagnostics', 'ui/config', 'ui/screenshot'].map(function (suffix) {
        return Fleet.topic(id, suffix);
    });
}

function askFor(id, suffix) {
    if (client && client.connected)
        client.publish(Fleet.topic(id, suffix), '', { qos: 1 }, function () {});
}

// The open detail view's vehicle: its configuration and screenshots come only while it is open.
// Older programs publish their info and configuration only when asked: what the broker does not
// hold is asked for (a viewer may not ask; the broker then refuses, and nothing changes).
function subscribeWatched() {
    var id = watching;
    if (!id || !client || !client.connected)
        return;
    client.subscribe(watchTopics(id), { qos: 0 }, function (err) {
        if (err || watching !== id)
            return;
        var e = fleet.get(id);
        if (e && !e.info)
            askFor(id, 'ui/info/get');
        setTimeout(function () {
            var now = fleet.get(id);
            if (watching === id && now && typeof now.config !== 'string')
                askFor(id, 'ui/config/get');
        }, CONFIG_WAIT_MS);
    });
}

function onScreenshot(id, payload) {
    if (id !== watching)
        return;
    var answer = Format.readAnswer(payload);
    if (answer.kind === 'png') {
        // A copy of its own: the library's Buffer may be a view of a larger one.
        var bytes = new Uint8Array(payload).buffer;
        post({ type: 'shot', id: id, kind: 'png', bytes: bytes, width: answer.width, height: answer.height }, [bytes]);
    } else {
        post({ type: 'shot', id: id, kind: answer.kind, text: answer.text });
    }
}

function onMessage(topic, payload, packet) {
    var now = clock();
    news.heard(now);
    // Nothing one message holds may stop the client: what it breaks stays with its vehicle.
    try {
        var where = Fleet.parseTopic(topic);
        if (where && where.kind === 'screenshot')
            onScreenshot(where.id, payload);
        else if (fleet.handle(topic, payload, !!packet.retain, now) !== null)
            wantSend();
    } catch (err) {
        console.error('depot page: a message on ' + Format.cleanText(topic, 200) + ' could not be handled: ' + cleanError(err));
    }
}

function connect(url, login, password) {
    stop();
    everConnected = false;
    attempt = 0;
    session = { url: url, login: login };
    setConnection('connecting', 'Connecting to ' + url + '\u2026');
    var c;
    try {
        c = openConnection(url, login, password);
    } catch (err) {
        post({ type: 'login', text: 'That broker address cannot be used: ' + cleanError(err) });
        return;
    }
    client = c;
    c.on('connect', function () {
        everConnected = true;
        attempt = 0;
        connectedSince = clock();
        post({ type: 'connected', login: login });
        setConnection('connected', 'Connected as ' + login);
        c.subscribe(Fleet.subscriptions, { qos: 0 }, function (err) {
            if (err)
                post({ type: 'banner', text: 'The broker refused the fleet subscription: ' + cleanError(err) });
        });
        subscribeWatched();
    });
    c.on('message', onMessage);
    c.on('error', function (err) {
        // Refused at login: asking again with the same password cannot help.
        var code = err && err.code;
        if (code === 4 || code === 5 || code === 134 || code === 135) {
            stop();
            // mosquitto answers "not authorised" for a wrong password too: one message for both.
            post({ type: 'refused', text: 'The broker refused this user name or password. Check both and sign in again.' });
            return;
        }
        setConnection('error', 'Connection problem: ' + cleanError(err));
    });
    c.on('close', function () {
        if (client !== c)
            return;
        post({ type: 'lost', everConnected: everConnected, url: url });
        scheduleRetry();
    });
}

function send() {
    sendTimer = null;
    if (!pageReady || !fleet)
        return;
    var now = clock();
    var changedWatched = watching !== null && fleet.isDirty(watching);
    if (!fleet.hasChanges() && !changedWatched && !detailDue && !newsDue)
        return;
    pageReady = false;
    var batch = fleet.flush(now);
    batch.type = 'batch';
    if (newsDue) {
        batch.news = newsText;
        newsDue = false;
    }
    if (watching !== null && (changedWatched || detailDue)) {
        var e = fleet.get(watching);
        if (e) {
            batch.detail = Fleet.detail(e, now, facts);
            batch.detail.key = watching;
        }
    }
    detailDue = false;
    post(batch);
}

// Coalesces the messages of one burst: the batch goes once the socket's data has been read.
function wantSend() {
    if (pageReady && sendTimer === null)
        sendTimer = setTimeout(send, 0);
}

function tick() {
    if (!fleet)
        return;
    var now = clock();
    fleet.tick(now);
    if (watching !== null)
        detailDue = true;
    var text = client && client.connected ? news.report(now, fleet.expectsNews(), connectedSince) : '';
    if (text !== newsText) {
        newsText = text;
        newsDue = true;
    }
    wantSend();
}

var ready = loadLibraries();
ready.catch(function (err) {
    post({ type: 'failed', text: 'The page could not load its parts: ' + (err && err.message ? err.message : String(err)) });
});

self.onmessage = function (event) {
    var m = event.data;
    ready.then(function () {
        switch (m.type) {
        case 'connect':
            connect(m.url, m.login, m.password);
            break;
        case 'stop':
            stop();
            break;
        case 'ready':
            // What came in while the page drew goes at once.
            pageReady = true;
            clearTimeout(sendTimer);
            send();
            break;
        case 'show':
            // New tiles in the document wait for their views: they go at once, in the page's
            // next frame with whatever else it has.
            fleet.show(m.ids);
            pageReady = true;
            wantSend();
            break;
        case 'filter':
            fleet.setFilter(m.text);
            wantSend();
            break;
        case 'watch':
            if (watching !== null && watching !== m.id && client && client.connected)
                client.unsubscribe(watchTopics(watching));
            watching = m.id;
            fleet.watch(m.id);
            detailDue = m.id !== null;
            subscribeWatched();
            wantSend();
            break;
        case 'screenshot':
            askScreenshot(m.id);
            break;
        }
    });
};

function askScreenshot(id) {
    if (!client || !client.connected) {
        post({ type: 'shot', id: id, kind: 'error', text: 'not connected' });
        return;
    }
    // Subscribed before asking, so the answer cannot pass by unseen.
    client.subscribe(Fleet.topic(id, 'ui/screenshot'), { qos: 0 }, function (err) {
        if (err) {
            post({ type: 'shot', id: id, kind: 'error', text: cleanError(err) });
            return;
        }
        client.publish(Fleet.topic(id, 'ui/screenshot/get'), '', { qos: 1 }, function (err) {
            if (err) {
                post({ type: 'shot', id: id, kind: 'error',
                       text: err.code === 135 ? 'this user may not ask for screenshots' : cleanError(err) });
            }
        });
    });
}

setInterval(tick, TICK_MS);
