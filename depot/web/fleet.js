// The fleet as the page knows it: the last good message of each kind per vehicle, when it was
// last heard from, and a short history of its result times. Knows the topics; never touches the DOM.
var Fleet = (function () {
    'use strict';

    var PREFIX = 'fleet';
    // A status, info, config or self-test is a few hundred bytes; anything this large is not ours.
    var MAX_PAYLOAD = 64 * 1024;
    var MAX_TEXT = 128;
    var MAX_FIELDS = 200;
    var HISTORY_MS = 60 * 60 * 1000;
    // Samples closer together than this replace each other, so a busy vehicle keeps the same
    // history length as an idle one that only sends its heartbeat.
    var HISTORY_STEP_MS = 20 * 1000;
    // The status is republished every 30 s; three missed heartbeats make a vehicle silent.
    var SILENT_MS = 90 * 1000;
    var SLOW_P99_MS = 100;
    // A vehicle clock this far ahead of ours is not believed.
    var FUTURE_SLACK_MS = 5 * 60 * 1000;
    var KINDS = ['status', 'info', 'config', 'diagnostics'];

    // The 35 self-test values in the order of the printed report: device facts, then results.
    var SELF_TEST_NAMES = [
        'deviceUid', 'date', 'samUid', 'barcodeFirmware', 'rfidFirmware', 'boardFirmware', 'appVersion',
        'bundleVersion', 'imageVersion', 'rtc', 'ethernet', 'usbHub', 'mPCIe1', 'rfidUsb', 'barcodeUsb', 'ftdi',
        'usbHost', 'touch', 'sdCard', 'buzzer', 'leds', 'ignition', 'temperature', 'voltage', 'sam', 'speaker',
        'barcodeScan', 'cardScan', 'rfidService', 'barcodeService', 'boardService', 'lightSensor', 'rgbTest',
        'poleId', 'serialPortTest'
    ];
    var SELF_TEST_FACTS = 9;

    var decoder = new TextDecoder('utf-8');

    // Plain, bounded, printable: control characters become spaces, long texts are cut.
    function cleanText(value, max) {
        var limit = max || MAX_TEXT;
        var text = String(value).replace(/[\u0000-\u001f\u007f-\u009f]/g, ' ');
        return text.length > limit ? text.slice(0, limit - 1) + '\u2026' : text;
    }

    function textOrNull(value, max) {
        return typeof value === 'string' ? cleanText(value, max) : null;
    }

    function numberOrNull(value) {
        return typeof value === 'number' && isFinite(value) ? value : null;
    }

    function parseTopic(topic) {
        var parts = topic.split('/');
        if (parts.length < 3 || parts[0] !== PREFIX || parts[1] === '')
            return null;
        var id = parts[1];
        if (parts.length === 3 && parts[2] === 'bridge')
            return { id: id, kind: 'bridge' };
        if (parts.length === 4 && parts[2] === 'ui') {
            if (KINDS.indexOf(parts[3]) >= 0 || parts[3] === 'screenshot')
                return { id: id, kind: parts[3] };
        }
        return null;
    }

    function parseTime(value, now) {
        if (typeof value !== 'string' || value.length > 40)
            return null;
        var ms = Date.parse(value);
        if (!isFinite(ms) || ms > now + FUTURE_SLACK_MS)
            return null;
        return ms;
    }

    // Each kind keeps only what the page shows, with the types it expects; a member of the wrong
    // type is left out rather than shown wrong.
    function readStatus(json) {
        var display = json.display && typeof json.display === 'object' ? json.display : {};
        return {
            technician: typeof json.technician === 'boolean' ? json.technician : null,
            service: typeof json.service === 'boolean' ? json.service : null,
            screen: textOrNull(json.screen, 48),
            uptimeSec: numberOrNull(json.uptimeSec),
            resultsShown: numberOrNull(json.resultsShown),
            time: textOrNull(json.time, 40),
            p50: numberOrNull(display.resultFrameMsP50),
            p99: numberOrNull(display.resultFrameMsP99),
            // Every member, for the detail view: read only when it is opened.
            raw: json
        };
    }

    function readInfo(json) {
        return { version: textOrNull(json.version, 48), raw: json };
    }

    function readDiagnostics(json) {
        var values = json.values && typeof json.values === 'object' && !Array.isArray(json.values) ? json.values : {};
        var list = [];
        var seen = {};
        SELF_TEST_NAMES.forEach(function (name) {
            seen[name] = true;
            list.push([name, name in values ? cleanText(values[name]) : null]);
        });
        Object.keys(values).slice(0, MAX_FIELDS).forEach(function (name) {
            if (!seen[name])
                list.push([cleanText(name, 48), cleanText(values[name])]);
        });
        var result = json.result === 'pass' || json.result === 'fail' ? json.result : null;
        return { result: result, time: textOrNull(json.time, 40), deviceId: textOrNull(json.deviceId, 48), values: list };
    }

    // Every member as "path: text", nested objects by dotted path, for the detail view.
    function flatten(json) {
        var out = [];
        (function walk(value, path) {
            if (out.length >= MAX_FIELDS)
                return;
            if (value !== null && typeof value === 'object' && !Array.isArray(value)) {
                Object.keys(value).forEach(function (key) {
                    walk(value[key], path ? path + '.' + key : key);
                });
                return;
            }
            out.push([cleanText(path, 64), cleanText(typeof value === 'string' ? value : JSON.stringify(value))]);
        })(json, '');
        return out;
    }

    function create() {
        var vehicles = new Map();
        var dirty = new Set();

        function entry(id) {
            var e = vehicles.get(id);
            if (!e) {
                e = {
                    id: cleanText(id, 64), bridge: null, status: null, info: null, config: null, diagnostics: null,
                    unreadable: {}, lastSeen: null, history: [], beats: false
                };
                vehicles.set(id, e);
            }
            return e;
        }

        function addSample(e, t, p50, p99) {
            var h = e.history;
            if (h.length && t - h[h.length - 1].t < HISTORY_STEP_MS && t >= h[h.length - 1].t)
                h.pop();
            h.push({ t: t, p50: p50, p99: p99 });
            var cut = 0;
            while (cut < h.length && h[cut].t < t - HISTORY_MS)
                ++cut;
            if (cut)
                h.splice(0, cut);
        }

        // Takes one message; returns the vehicle's id when the fleet changed, null otherwise.
        // A message that cannot be read marks its kind unreadable and keeps the last good one.
        function handle(topic, payload, retained, now) {
            var where = parseTopic(topic);
            if (!where || where.kind === 'screenshot')
                return null;
            var e = entry(where.id);
            dirty.add(where.id);
            if (payload.length > MAX_PAYLOAD) {
                e.unreadable[where.kind] = 'too large (' + payload.length + ' bytes)';
                return where.id;
            }
            // An empty retained message clears what the broker kept: the vehicle no longer says.
            if (payload.length === 0) {
                delete e.unreadable[where.kind];
                e[where.kind] = null;
                return where.id;
            }
            var text = decoder.decode(payload);
            if (where.kind === 'bridge') {
                text = text.trim();
                if (text !== '0' && text !== '1') {
                    e.unreadable.bridge = 'unreadable (not 0 or 1)';
                    return where.id;
                }
                delete e.unreadable.bridge;
                e.bridge = text;
                if (text === '1' && !retained)
                    e.lastSeen = now;
                return where.id;
            }
            var json;
            try {
                json = JSON.parse(text);
            } catch (err) {
                e.unreadable[where.kind] = 'unreadable (not JSON)';
                return where.id;
            }
            if (json === null || typeof json !== 'object' || Array.isArray(json)) {
                e.unreadable[where.kind] = 'unreadable (not a JSON object)';
                return where.id;
            }
            delete e.unreadable[where.kind];
            if (where.kind === 'status') {
                var status = readStatus(json);
                var stamped = parseTime(json.time, now);
                // A live message was seen now; a kept one as of the time it carries.
                if (!retained)
                    e.lastSeen = now;
                else if (stamped !== null)
                    e.lastSeen = stamped;
                else if (e.lastSeen === null)
                    e.lastSeen = now;
                e.status = status;
                // Only a program whose status carries its time sends heartbeats; an older one
                // is quiet when idle, and its silence means nothing.
                if (stamped !== null)
                    e.beats = true;
                if (status.p50 !== null || status.p99 !== null)
                    addSample(e, stamped !== null ? stamped : now, status.p50, status.p99);
            } else if (where.kind === 'info') {
                e.info = readInfo(json);
            } else if (where.kind === 'config') {
                e.config = json;
            } else if (where.kind === 'diagnostics') {
                e.diagnostics = readDiagnostics(json);
                e.diagnostics.timeMs = parseTime(json.time, now);
            }
            return where.id;
        }

        function takeDirty() {
            var out = dirty;
            dirty = new Set();
            return out;
        }

        return {
            vehicles: vehicles,
            handle: handle,
            takeDirty: takeDirty,
            get: function (id) { return vehicles.get(id) || null; }
        };
    }

    // What a vehicle's state means for the people in the depot: the worst trouble decides its
    // place (rank 0 first) and its badge; every trouble is listed.
    function assess(e, now) {
        var s = e.status;
        var linkLost = e.bridge === '0';
        var stopped = !!s && s.service === false;
        var silent = !linkLost && !stopped && e.beats && e.lastSeen !== null && now - e.lastSeen > SILENT_MS;
        var outOfOrder = stopped || (!!s && s.screen === 'OutOfOrder');
        var testFailed = !!e.diagnostics && e.diagnostics.result === 'fail';
        var slow = !!s && s.p99 !== null && s.p99 > SLOW_P99_MS;
        var unreadable = Object.keys(e.unreadable);
        var troubles = [];
        if (linkLost)
            troubles.push('link lost');
        if (silent)
            troubles.push('no heartbeat');
        if (unreadable.length)
            troubles.push(unreadable.map(function (kind) { return kind + ' ' + e.unreadable[kind]; }).join(', '));
        if (outOfOrder)
            troubles.push(stopped ? 'not in service' : 'out of order');
        if (testFailed)
            troubles.push('self-test failed');
        if (slow)
            troubles.push('p99 over ' + SLOW_P99_MS + ' ms');
        var key, label, rank;
        if (linkLost) { key = 'offline'; label = '\u25cb Offline'; rank = 0; }
        else if (silent) { key = 'offline'; label = '\u25cc Silent'; rank = 0; }
        else if (unreadable.length) { key = 'unreadable'; label = '? Unreadable'; rank = 1; }
        else if (outOfOrder) { key = 'outoforder'; label = '\u2715 Out of order'; rank = 2; }
        else if (testFailed) { key = 'selftest'; label = '\u2717 Self-test failed'; rank = 3; }
        else if (slow) { key = 'slow'; label = '\u26a0 Slow'; rank = 4; }
        else if (!s && e.bridge === null) { key = 'unknown'; label = '\u2026 Waiting'; rank = 5; }
        else { key = 'online'; label = '\u25cf Online'; rank = 6; }
        return {
            key: key, label: label, rank: rank, troubles: troubles,
            online: !linkLost && !silent, outOfOrder: outOfOrder, testFailed: testFailed, slow: slow,
            unreadable: unreadable.length > 0, technician: !!s && s.technician === true
        };
    }

    return {
        PREFIX: PREFIX,
        MAX_PAYLOAD: MAX_PAYLOAD,
        SILENT_MS: SILENT_MS,
        SLOW_P99_MS: SLOW_P99_MS,
        HISTORY_MS: HISTORY_MS,
        SELF_TEST_FACTS: SELF_TEST_FACTS,
        // Only what the tiles need: screenshots are asked for one vehicle at a time.
        subscriptions: [PREFIX + '/+/bridge', PREFIX + '/+/ui/status', PREFIX + '/+/ui/info',
                        PREFIX + '/+/ui/config', PREFIX + '/+/ui/diagnostics'],
        topic: function (id, suffix) { return PREFIX + '/' + id + '/' + suffix; },
        parseTopic: parseTopic,
        cleanText: cleanText,
        flatten: flatten,
        create: create,
        assess: assess
    };
})();
