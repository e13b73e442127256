// The fleet as the page knows it: the last good message of each kind per vehicle, when it was
// last heard from and its result times; what that means (the kinds of trouble), what each tile
// reads, the trouble-first order, the filter and the counts over the whole fleet. Knows the
// topics; never touches the document or the socket. Runs in the page's worker and under Node.
var Fleet = (function () {
    'use strict';

    var K = typeof Kinds !== 'undefined' ? Kinds : require('./kinds.js');
    var F = typeof Format !== 'undefined' ? Format : require('./format.js');
    var H = typeof History !== 'undefined' ? History : require('./history.js');

    var PREFIX = 'fleet';
    // A status, info, config or self-test is a few hundred bytes; anything this large is not ours.
    var MAX_PAYLOAD = 64 * 1024;
    var MAX_FIELDS = 200;
    var MAX_CONFIG_CHARS = 16 * 1024;
    // A vehicle clock this far ahead of ours is not believed.
    var FUTURE_SLACK_MS = 5 * 60 * 1000;
    var CHART_W = 120;
    var CHART_H = 28;
    var KINDS = ['status', 'info', 'config', 'diagnostics'];
    // Views sent before the page says what it shows: a first screenful and more.
    var FIRST_SHOWN = 120;
    var COUNTED = ['online', 'offline', 'outOfOrder', 'testFailed', 'slow', 'unreadable'];

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

    function textOrNull(value, max) {
        return typeof value === 'string' ? F.cleanText(value, max) : null;
    }

    function numberOrNull(value) {
        return typeof value === 'number' && isFinite(value) ? value : null;
    }

    function parseTime(value, now) {
        if (typeof value !== 'string' || value.length > 40)
            return null;
        var ms = Date.parse(value);
        if (!isFinite(ms) || ms > now + FUTURE_SLACK_MS)
            return null;
        return ms;
    }

    // Each kind keeps only what the tiles show, with the types they expect (a member of the
    // wrong type is left out rather than shown wrong), and its text for the detail view.
    function readStatus(json, text) {
        var display = json.display && typeof json.display === 'object' ? json.display : {};
        return {
            technician: typeof json.technician === 'boolean' ? json.technician : null,
            service: typeof json.service === 'boolean' ? json.service : null,
            screen: textOrNull(json.screen, 48),
            uptimeSec: numberOrNull(json.uptimeSec),
            resultsShown: numberOrNull(json.resultsShown),
            p50: numberOrNull(display.resultFrameMsP50),
            p99: numberOrNull(display.resultFrameMsP99),
            text: text
        };
    }

    // Every member as "path: text", nested objects by dotted path, for the detail view. The
    // text was bounded in depth when it came in.
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
            out.push([F.cleanText(path, 64), F.cleanText(value)]);
        })(json, '');
        return out;
    }

    // What a vehicle's state means: the first kind of trouble that applies decides its place and
    // its badge; every trouble is listed. facts: depot/web/facts.json.
    function assess(e, now, facts) {
        var s = e.status;
        var linkLost = e.bridge === '0';
        var stopped = !!s && s.service === false;
        var silent = !linkLost && !stopped && e.beats && e.lastSeen !== null && now - e.lastSeen > facts.silentAfterSec * 1000;
        var outOfOrder = !stopped && !!s && s.screen === 'OutOfOrder';
        var testFailed = !!e.diagnostics && e.diagnostics.result === 'fail';
        var slow = !!s && s.p99 !== null && s.p99 > facts.slowP99Ms;
        var unreadable = Object.keys(e.unreadable);
        var applies = {
            linkLost: linkLost, silent: silent, unreadable: unreadable.length > 0, stopped: stopped,
            outOfOrder: outOfOrder, testFailed: testFailed, slow: slow,
            waiting: !s && e.bridge === null, online: true
        };
        var kind = null;
        var troubles = [];
        K.table.forEach(function (k) {
            if (!applies[k.id])
                return;
            if (!kind)
                kind = k;
            if (k.id === 'unreadable')
                troubles.push(unreadable.map(function (what) { return what + ' ' + e.unreadable[what]; }).join(', '));
            else if (k.id === 'slow')
                troubles.push('p99 over ' + facts.slowP99Ms + ' ms');
            else if (k.trouble)
                troubles.push(k.trouble);
        });
        return {
            kind: kind, troubles: troubles,
            counted: kind.id === 'waiting' ? null : {
                online: linkLost || silent ? 0 : 1, offline: linkLost || silent ? 1 : 0,
                outOfOrder: stopped || outOfOrder ? 1 : 0, testFailed: testFailed ? 1 : 0, slow: slow ? 1 : 0,
                unreadable: unreadable.length ? 1 : 0
            },
            technician: !!s && s.technician === true
        };
    }

    function selfTestText(d, now) {
        if (!d || !d.result)
            return 'none published';
        return (d.result === 'pass' ? '\u2713 passed' : '\u2717 failed') + (d.timeMs !== null ? ' ' + F.age(now - d.timeMs) : '');
    }

    function flagsOf(a) {
        var flags = a.troubles.slice();
        if (a.technician)
            flags.push('technician logged in');
        return flags;
    }

    // The words the filter looks for: those on the tile.
    function searchText(e, a) {
        var s = e.status;
        return [e.id, a.kind.state, a.kind.label, s && s.screen, e.info && e.info.version, flagsOf(a).join(' ')]
            .join(' ').toLowerCase();
    }

    // What one tile reads: plain strings, ready to be set as text.
    function view(e, a, now, facts) {
        var s = e.status;
        var flags = flagsOf(a);
        var screen = s && s.screen !== null ? s.screen : null;
        var chart = H.chart(e.history, now, facts.slowP99Ms, CHART_W, CHART_H);
        var v = {
            id: e.id,
            state: a.kind.state,
            style: a.kind.style,
            badge: a.kind.symbol + ' ' + a.kind.label,
            screen: screen !== null ? screen : 'screen unknown',
            seen: e.lastSeen === null ? 'never' : F.age(now - e.lastSeen),
            version: e.info && e.info.version !== null ? e.info.version : '\u2014',
            uptime: s && s.uptimeSec !== null ? F.duration(s.uptimeSec) : '\u2014',
            results: s && s.resultsShown !== null ? F.plural(s.resultsShown, 'result', 'results') : '\u2014',
            latency: s && (s.p50 !== null || s.p99 !== null) ? 'p50 ' + F.ms(s.p50) + ' \u00b7 p99 ' + F.ms(s.p99) : 'no results yet',
            selftest: selfTestText(e.diagnostics, now),
            flags: flags.join(' \u00b7 '),
            // The tile reads as one line in a screen reader's list.
            aria: e.id + ', ' + a.kind.label + (flags.length ? ' (' + flags.join(', ') + ')' : '')
                + ', screen ' + (screen !== null ? screen : 'unknown'),
            p50: chart.p50,
            p99: chart.p99,
            limit: chart.limit
        };
        return v;
    }

    // When the clock alone next changes what a tile reads: an age, or the vehicle turning silent.
    function nextChange(e, now, facts) {
        var due = Infinity;
        if (e.lastSeen !== null) {
            due = F.ageChanges(e.lastSeen, now);
            var silentAt = e.lastSeen + facts.silentAfterSec * 1000 + 1;
            if (e.beats && now < silentAt)
                due = Math.min(due, silentAt);
        }
        if (e.diagnostics && e.diagnostics.timeMs !== null)
            due = Math.min(due, F.ageChanges(e.diagnostics.timeMs, now));
        return due;
    }

    // facts: depot/web/facts.json. hooks.liveStatus(sent, now), when given, hears of every live
    // status that carries its time (how late the page's news is).
    function create(facts, hooks) {
        var liveStatus = hooks && hooks.liveStatus;
        var vehicles = new Map();
        var dirty = new Set();
        // Per vehicle: its rank, whether it matches the filter, and what it adds to the counts.
        var placed = new Map();
        var counts = { online: 0, offline: 0, outOfOrder: 0, testFailed: 0, slow: 0, unreadable: 0 };
        var filter = '';
        var order = [];
        var reorder = false;
        // The vehicles whose tiles the page shows (null: the first FIRST_SHOWN of the order, as
        // the page shows them when it opens), and those of them whose view it does not have yet.
        var shown = null;
        var owed = new Set();
        var sentFirst = new Set();
        // The vehicle in the detail view: only its messages are kept whole (as text). The others
        // keep what their tiles show: with ten thousand vehicles, texts would be most of the memory.
        var watched = null;

        function entry(id) {
            var e = vehicles.get(id);
            if (!e) {
                e = {
                    id: F.cleanText(id, 64), bridge: null, status: null, info: null, diagnostics: null,
                    unreadable: {}, lastSeen: null, history: null, beats: false
                };
                vehicles.set(id, e);
            }
            return e;
        }

        function read(e, where, payload, retained, now) {
            if (payload.length > MAX_PAYLOAD) {
                e.unreadable[where.kind] = 'too large (' + payload.length + ' bytes)';
                return;
            }
            // An empty retained message clears what the broker kept: the vehicle no longer says.
            if (payload.length === 0) {
                delete e.unreadable[where.kind];
                if (where.kind !== 'config')
                    e[where.kind] = null;
                return;
            }
            var text = new TextDecoder('utf-8').decode(payload);
            if (where.kind === 'bridge') {
                text = text.trim();
                if (text !== '0' && text !== '1') {
                    e.unreadable.bridge = 'unreadable (not 0 or 1)';
                    return;
                }
                delete e.unreadable.bridge;
                e.bridge = text;
                if (text === '1' && !retained)
                    e.lastSeen = now;
                return;
            }
            var got = F.readObject(text);
            if (got.error) {
                e.unreadable[where.kind] = 'unreadable (' + got.error + ')';
                return;
            }
            var json = got.value;
            if (where.id !== watched)
                text = null;
            if (where.kind === 'status') {
                var status = readStatus(json, text);
                var stamped = parseTime(json.time, now);
                // A live message was seen now; a kept one as of the time it carries.
                if (!retained)
                    e.lastSeen = now;
                else if (stamped !== null)
                    e.lastSeen = stamped;
                else if (e.lastSeen === null)
                    e.lastSeen = now;
                // Only a program whose status carries its time sends heartbeats; an older one
                // is quiet when idle, and its silence means nothing.
                if (stamped !== null)
                    e.beats = true;
                if (stamped !== null && !retained && liveStatus)
                    liveStatus(stamped, now);
                if (status.p50 !== null || status.p99 !== null)
                    e.history = H.add(e.history, stamped !== null ? stamped : now, status.p50, status.p99);
                e.status = status;
            } else if (where.kind === 'info') {
                e.info = { version: textOrNull(json.version, 48), text: text };
            } else if (where.kind === 'config') {
                if (text !== null)
                    e.config = text;
            } else if (where.kind === 'diagnostics') {
                e.diagnostics = {
                    result: json.result === 'pass' || json.result === 'fail' ? json.result : null,
                    time: textOrNull(json.time, 40), timeMs: parseTime(json.time, now), text: text
                };
            }
            delete e.unreadable[where.kind];
        }

        // Takes one message; returns the vehicle's id when the fleet changed, null otherwise.
        // A message that cannot be read marks its kind unreadable and keeps the last good one;
        // whatever goes wrong reading it stays with that vehicle.
        function handle(topic, payload, retained, now) {
            var where = parseTopic(topic);
            if (!where || where.kind === 'screenshot')
                return null;
            var e = entry(where.id);
            dirty.add(where.id);
            try {
                read(e, where, payload, retained, now);
            } catch (err) {
                e.unreadable[where.kind] = 'could not be read (' + F.cleanText(err && err.name ? err.name : 'error', 40) + ')';
            }
            return where.id;
        }

        function matches(search) {
            return filter === '' || search.indexOf(filter) >= 0;
        }

        // What changed since the last call: the counts over the whole fleet, the order (trouble
        // first, then by id, filtered) when it changed, and the views of the tiles the page
        // shows that changed (or that it does not have yet). Tiles out of view cost no view:
        // the page holds only what it shows.
        function flush(now) {
            var changed = [];
            dirty.forEach(function (id) {
                var e = vehicles.get(id);
                var a = assess(e, now, facts);
                var search = searchText(e, a);
                var was = placed.get(id);
                var is = { rank: a.kind.order, match: matches(search), counted: a.counted, due: nextChange(e, now, facts), search: search };
                COUNTED.forEach(function (k) {
                    counts[k] += (is.counted ? is.counted[k] : 0) - (was && was.counted ? was.counted[k] : 0);
                });
                if (!was || was.rank !== is.rank || was.match !== is.match)
                    reorder = true;
                placed.set(id, is);
                changed.push([id, a]);
            });
            dirty = new Set();
            var out = { views: [], counts: Object.assign({ vehicles: vehicles.size }, counts) };
            if (reorder) {
                reorder = false;
                var ids = [];
                placed.forEach(function (p, id) {
                    if (p.match)
                        ids.push(id);
                });
                ids.sort(function (x, y) {
                    return placed.get(x).rank - placed.get(y).rank || (x < y ? -1 : x > y ? 1 : 0);
                });
                order = ids;
                out.order = ids;
            }
            var wanted = shown;
            if (shown === null) {
                // Until the page says, the top of the order: owed when not sent yet.
                wanted = new Set(order.slice(0, FIRST_SHOWN));
                wanted.forEach(function (id) {
                    if (!sentFirst.has(id)) {
                        sentFirst.add(id);
                        owed.add(id);
                    }
                });
            }
            changed.forEach(function (pair) {
                if (wanted.has(pair[0])) {
                    owed.delete(pair[0]);
                    out.views.push([pair[0], view(vehicles.get(pair[0]), pair[1], now, facts)]);
                }
            });
            owed.forEach(function (id) {
                var e = vehicles.get(id);
                if (e)
                    out.views.push([id, view(e, assess(e, now, facts), now, facts)]);
            });
            owed.clear();
            return out;
        }

        return {
            vehicles: vehicles,
            handle: handle,
            flush: flush,
            get: function (id) { return vehicles.get(id) || null; },
            hasChanges: function () { return dirty.size > 0 || reorder || owed.size > 0; },
            // The ids of the tiles the page now shows: their views are sent from now on.
            show: function (ids) {
                var next = new Set(ids);
                next.forEach(function (id) {
                    if (shown === null ? !sentFirst.has(id) : !shown.has(id))
                        owed.add(id);
                });
                shown = next;
                sentFirst.clear();
            },
            isDirty: function (id) { return dirty.has(id); },
            // The detail view's vehicle (or null): its next messages are kept whole; the last
            // one's are let go.
            watch: function (id) {
                var before = watched !== null ? vehicles.get(watched) : null;
                if (before && watched !== id) {
                    if (before.status)
                        before.status.text = null;
                    if (before.info)
                        before.info.text = null;
                    if (before.diagnostics)
                        before.diagnostics.text = null;
                    delete before.config;
                }
                watched = id;
            },
            order: function () { return order; },
            // The clock's own changes: vehicles whose tile now reads differently.
            tick: function (now) {
                placed.forEach(function (p, id) {
                    if (p.due <= now)
                        dirty.add(id);
                });
            },
            setFilter: function (text) {
                filter = String(text).trim().toLowerCase().slice(0, 200);
                placed.forEach(function (p) { p.match = filter === '' || p.search.indexOf(filter) >= 0; });
                reorder = true;
            },
            // Whether any vehicle should be sending heartbeats now (its link up, its program on).
            expectsNews: function () {
                var any = false;
                vehicles.forEach(function (e) {
                    if (!any && e.beats && e.bridge !== '0' && !(e.status && e.status.service === false))
                        any = true;
                });
                return any;
            }
        };
    }

    // One vehicle in full for the detail view: every status and info member, the self-test's
    // values in the report's order (a result that is not OK marked), and the configuration.
    function detail(e, now, facts) {
        var a = assess(e, now, facts);
        var rows = [['link', e.bridge === null ? '(not reported)' : e.bridge === '1' ? '1 (connected)' : '0 (lost)'],
                    ['last seen', e.lastSeen === null ? 'never' : new Date(e.lastSeen).toISOString() + ' (' + F.age(now - e.lastSeen) + ')']];
        if (e.info && e.info.text)
            flatten(JSON.parse(e.info.text)).forEach(function (f) { rows.push(['info.' + f[0], f[1]]); });
        if (e.status && e.status.text)
            rows = rows.concat(flatten(JSON.parse(e.status.text)));
        var bad = Object.keys(e.unreadable);
        var out = {
            id: e.id,
            state: a.kind.symbol + ' ' + a.kind.label + (a.troubles.length ? ' \u2014 ' + a.troubles.join(', ') : ''),
            style: a.kind.style,
            status: rows,
            unreadable: bad.map(function (kind) {
                return 'The last ' + kind + ' message was ' + e.unreadable[kind] + '; the one before it is shown.';
            }).join(' '),
            testSummary: 'No self-test published.',
            test: [],
            config: 'No configuration published.',
            hasInfo: !!e.info,
            hasConfig: typeof e.config === 'string'
        };
        var d = e.diagnostics;
        if (d) {
            out.testSummary = (d.result === 'pass' ? '\u2713 Passed' : d.result === 'fail' ? '\u2717 Failed' : 'Result unknown')
                + (d.time ? ', ' + d.time : '') + (d.timeMs !== null ? ' (' + F.age(now - d.timeMs) + ')' : '');
            var json = d.text ? JSON.parse(d.text) : {};
            var values = json.values && typeof json.values === 'object' && !Array.isArray(json.values) ? json.values : {};
            var names = facts.selfTestNames;
            names.forEach(function (name, index) {
                if (!d.text)
                    return;
                var value = name in values ? F.cleanText(values[name]) : null;
                out.test.push([name, value === null ? '(not reported)' : value,
                               index >= facts.selfTestFacts && value !== 'OK']);
            });
            Object.keys(values).slice(0, MAX_FIELDS).forEach(function (name) {
                if (names.indexOf(name) < 0)
                    out.test.push([F.cleanText(name, 48), F.cleanText(values[name]), false]);
            });
        }
        if (typeof e.config === 'string') {
            var text = JSON.stringify(JSON.parse(e.config), null, 2);
            out.config = text.length > MAX_CONFIG_CHARS ? text.slice(0, MAX_CONFIG_CHARS) + '\n\u2026 (cut)' : text;
        }
        return out;
    }

    return {
        PREFIX: PREFIX,
        MAX_PAYLOAD: MAX_PAYLOAD,
        // Only what the tiles need: configurations and screenshots are asked for one vehicle at a time.
        subscriptions: [PREFIX + '/+/bridge', PREFIX + '/+/ui/status', PREFIX + '/+/ui/info', PREFIX + '/+/ui/diagnostics'],
        topic: function (id, suffix) { return PREFIX + '/' + id + '/' + suffix; },
        parseTopic: parseTopic,
        flatten: flatten,
        create: create,
        assess: assess,
        detail: detail
    };
})();

if (typeof module === 'object' && module.exports)
    module.exports = Fleet;
