// The page itself: signs in, starts the worker that holds the broker connection and the fleet,
// and draws what the worker sends. The one frame scheduler of the page is here: a batch, a
// scroll or a resize asks for a frame; the frame draws, then tells the worker it may send again.
(function () {
    'use strict';

    // At most five batches a second: nobody reads tiles faster, and a frame's layout and paint
    // cost nearly as much for one changed tile as for fifty.
    var FRAME_GAP_MS = 200;
    var USER_KEY = 'depot.user';

    var doc = document;
    var el = function (id) { return doc.getElementById(id); };
    var worker = null;
    var frameAsked = false;
    var batches = [];
    var lastReady = 0;
    var readyTimer = null;
    var awaitingDraw = false;
    var lastUrl = '';

    function schedule() {
        if (!frameAsked) {
            frameAsked = true;
            requestAnimationFrame(frame);
        }
    }

    var tiles = Tiles.create(doc, schedule, function (ids) { send({ type: 'show', ids: ids }); });
    var detail = Detail.create(doc, {
        watch: function (id) { send({ type: 'watch', id: id }); },
        screenshot: function (id) { send({ type: 'screenshot', id: id }); }
    });

    function send(message) {
        if (worker)
            worker.postMessage(message);
    }

    // Tells the worker the last batch is drawn, no sooner than FRAME_GAP_MS after the last time.
    function ready() {
        var wait = lastReady + FRAME_GAP_MS - performance.now();
        if (wait > 0) {
            if (readyTimer === null)
                readyTimer = setTimeout(function () { readyTimer = null; ready(); }, wait);
            return;
        }
        lastReady = performance.now();
        send({ type: 'ready' });
    }

    function frame() {
        frameAsked = false;
        var todo = batches;
        batches = [];
        todo.forEach(function (batch) {
            tiles.apply(batch);
            if (batch.detail)
                detail.apply(batch.detail);
            if ('news' in batch)
                showNews(batch.news);
        });
        if (todo.length && el('filter').value.trim() !== '')
            el('filter-count').textContent = tiles.shownCount() + ' of ' + todo[todo.length - 1].counts.vehicles + ' shown';
        else if (todo.length)
            el('filter-count').textContent = '';
        tiles.draw();
        if (awaitingDraw) {
            awaitingDraw = false;
            ready();
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

    function showNews(text) {
        var node = el('news');
        node.hidden = !text;
        node.textContent = text || '';
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

    function onWorker(event) {
        var m = event.data;
        switch (m.type) {
        case 'batch':
            batches.push(m);
            awaitingDraw = true;
            schedule();
            break;
        case 'connection':
            setConnection(m.state, m.text);
            break;
        case 'connected':
            showFleet();
            showBanner('');
            tiles.setStale(false);
            schedule();
            break;
        case 'lost':
            if (m.everConnected) {
                tiles.setStale(true);
                showNews('');
                showBanner('Connection to the broker lost \u2014 reconnecting\u2026 The tiles show the last known state.');
            } else {
                showLogin('Cannot reach the broker at ' + lastUrl + '; trying again\u2026');
            }
            break;
        case 'refused':
            tiles.setStale(true);
            setConnection('refused', 'Not signed in');
            showLogin(m.text);
            break;
        case 'login':
            showLogin(m.text);
            break;
        case 'banner':
            showBanner(m.text);
            break;
        case 'shot':
            detail.screenshot(m);
            break;
        case 'failed':
            showLogin(m.text);
            break;
        }
    }

    function start() {
        if (worker)
            return;
        worker = new Worker('worker.js');
        worker.onmessage = onWorker;
        worker.onerror = function (event) {
            showBanner('The page\u2019s worker stopped: ' + (event.message || 'an error') + '. Reload the page.');
        };
        // The worker sends its first batch once asked.
        send({ type: 'ready' });
    }

    function defaultUrl() {
        var secure = location.protocol === 'https:';
        var host = location.host || 'localhost:8080';
        return (secure ? 'wss://' : 'ws://') + host;
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
        lastUrl = url;
        send({ type: 'connect', url: url, login: user, password: password });
        // The password stays in the worker's client only for reconnecting, never in the form.
        el('login-password').value = '';
    });
    // Signing out forgets the fleet and the password with the page: a fresh page asks again.
    el('logout').addEventListener('click', function () {
        send({ type: 'stop' });
        location.reload();
    });
    el('filter').addEventListener('input', function (event) {
        send({ type: 'filter', text: event.target.value });
    });
    el('tiles').addEventListener('click', function (event) {
        var tile = event.target.closest('.tile');
        if (tile)
            detail.open(tile.dataset.vehicle, tile.querySelector('[data-field="id"]').textContent);
    });
    // Started while the form is filled in: its libraries are loaded by the time it is sent.
    start();
    if (el('login-user').value)
        el('login-password').focus();
    else
        el('login-user').focus();
})();
