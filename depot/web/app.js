// The page itself: signs in, keeps the broker connection, hands messages to the fleet state and
// redraws what changed once per animation frame.
(function () {
    'use strict';

    var RECONNECT_MS = 2000;
    var TICK_MS = 10000;
    // At most five redraws a second: nobody reads tiles faster, and a frame's layout and paint
    // cost nearly as much for one changed tile as for fifty.
    var FRAME_GAP_MS = 200;
    var USER_KEY = 'depot.user';

    var doc = document;
    var el = function (id) { return doc.getElementById(id); };
    var clock = function () { return Date.now(); };

    var store = Fleet.create();
    var tiles = Tiles.create(doc, store, clock);
    var client = null;
    var everConnected = false;
    var frameAsked = false;
    var lastFrame = 0;
    var watched = new Set();

    var detail = Detail.create(doc, store, clock, {
        askScreenshot: function (id, done) {
            if (!client || !client.connected) {
                done(new Error('not connected'));
                return;
            }
            // Subscribed before asking, so the answer cannot pass by unseen.
            client.subscribe(Fleet.topic(id, 'ui/screenshot'), { qos: 0 }, function (err) {
                if (err) {
                    done(err);
                    return;
                }
                client.publish(Fleet.topic(id, 'ui/screenshot/get'), '', { qos: 1 }, function (err) {
                    done(err && (err.code === 135 || err.code === 0x87) ? new Error('this user may not ask for screenshots') : err);
                });
            });
        },
        ask: function (id, suffix) {
            if (client && client.connected)
                client.publish(Fleet.topic(id, suffix), '', { qos: 1 }, function () {});
        },
        watchScreenshots: function (id, on) {
            if (on)
                watched.add(id);
            else
                watched.delete(id);
            if (!on && client)
                client.unsubscribe(Fleet.topic(id, 'ui/screenshot'));
        }
    });

    function defaultUrl() {
        var secure = location.protocol === 'https:';
        var host = location.host || 'localhost:8080';
        return (secure ? 'wss://' : 'ws://') + host;
    }

    function frame(when) {
        frameAsked = false;
        lastFrame = when;
        var ids = store.takeDirty();
        tiles.draw(ids);
        detail.changed(ids);
    }

    function onMessage(topic, payload, packet) {
        var where = Fleet.parseTopic(topic);
        if (where && where.kind === 'screenshot') {
            detail.screenshot(where.id, payload);
            return;
        }
        if (store.handle(topic, payload, !!packet.retain, clock()) !== null && !frameAsked) {
            frameAsked = true;
            var wait = lastFrame + FRAME_GAP_MS - performance.now();
            if (wait > 0)
                setTimeout(function () { requestAnimationFrame(frame); }, wait);
            else
                requestAnimationFrame(frame);
        }
    }

    function setConnection(state, text) {
        var node = el('connection');
        node.dataset.state = state;
        node.textContent = text;
    }

    function showBanner(text) {
        var banner = el('banner');
        banner.hidden = !text;
        banner.textContent = text || '';
    }

    function showLogin(message) {
        el('login-view').hidden = false;
        el('fleet-view').hidden = true;
        el('tools').hidden = true;
        el('login-submit').disabled = false;
        var error = el('login-error');
        error.hidden = !message;
        error.textContent = message || '';
        if (message)
            el('login-password').focus();
    }

    function showFleet() {
        el('login-view').hidden = true;
        el('fleet-view').hidden = false;
        el('tools').hidden = false;
        el('login-error').hidden = true;
    }

    function stop() {
        if (client) {
            client.removeAllListeners();
            client.on('error', function () {});
            client.end(true);
            client = null;
        }
    }

    function connect(url, user, password) {
        stop();
        everConnected = false;
        setConnection('connecting', 'Connecting to ' + url + '\u2026');
        var c;
        try {
            c = mqtt.connect(url, {
                username: user,
                password: password,
                // MQTT 5: the broker then says why it refuses a request (a viewer asking for a
                // screenshot) instead of dropping it in silence.
                protocolVersion: 5,
                clean: true,
                clientId: 'depot-page-' + Math.random().toString(16).slice(2, 10),
                reconnectPeriod: RECONNECT_MS,
                connectTimeout: 10000,
                keepalive: 30,
                // Subscribed afresh on every connection below; the library's own resubscription
                // would ask twice and bring every retained message twice.
                resubscribe: false
            });
        } catch (err) {
            showLogin('That broker address cannot be used: ' + Fleet.cleanText(err.message || err));
            return;
        }
        client = c;

        c.on('connect', function () {
            everConnected = true;
            showFleet();
            showBanner('');
            tiles.setStale(false);
            setConnection('connected', 'Connected as ' + user);
            c.subscribe(Fleet.subscriptions, { qos: 0 }, function (err) {
                if (err)
                    showBanner('The broker refused the fleet subscription: ' + Fleet.cleanText(err.message || err));
            });
            watched.forEach(function (id) { c.subscribe(Fleet.topic(id, 'ui/screenshot'), { qos: 0 }); });
        });
        c.on('message', onMessage);
        c.on('error', function (err) {
            // Refused at login: asking again with the same password cannot help.
            var code = err && err.code;
            if (code === 4 || code === 5 || code === 134 || code === 135) {
                stop();
                tiles.setStale(true);
                setConnection('refused', 'Not signed in');
                // mosquitto answers "not authorised" for a wrong password too: one message for both.
                showLogin('The broker refused this user name or password. Check both and sign in again.');
                return;
            }
            setConnection('error', 'Connection problem: ' + Fleet.cleanText(err && err.message ? err.message : err));
        });
        c.on('close', function () {
            if (client !== c)
                return;
            if (everConnected) {
                tiles.setStale(true);
                showBanner('Connection to the broker lost \u2014 reconnecting\u2026 The tiles show the last known state.');
                setConnection('reconnecting', 'Reconnecting\u2026');
            } else {
                showLogin('Cannot reach the broker at ' + url + '; trying again\u2026');
                el('login-submit').disabled = false;
            }
        });
    }

    el('login-url').value = defaultUrl();
    try {
        el('login-user').value = localStorage.getItem(USER_KEY) || '';
    } catch (err) {
        // Storage may be off; the name is only a convenience.
    }
    el('login-form').addEventListener('submit', function (event) {
        event.preventDefault();
        var url = el('login-url').value.trim();
        var user = el('login-user').value.trim();
        var password = el('login-password').value;
        try {
            localStorage.setItem(USER_KEY, user);
        } catch (err) {
            // See above.
        }
        el('login-submit').disabled = true;
        el('login-error').hidden = true;
        connect(url, user, password);
        // The password stays in the client only for reconnecting, never in the form.
        el('login-password').value = '';
    });
    // Signing out forgets the fleet and the password with the page: a fresh page asks again.
    el('logout').addEventListener('click', function () {
        stop();
        location.reload();
    });
    el('filter').addEventListener('input', function (event) {
        tiles.setFilter(event.target.value);
    });
    el('tiles').addEventListener('click', function (event) {
        var tile = event.target.closest('.tile');
        if (tile)
            detail.open(tile.dataset.vehicle);
    });
    setInterval(function () {
        tiles.tick();
        detail.tick();
    }, TICK_MS);
    if (el('login-user').value)
        el('login-password').focus();
    else
        el('login-user').focus();
})();
