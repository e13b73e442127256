// Draws the fleet as tiles, trouble first, and the header's counts. Never subscribes: it is told
// which vehicles changed and redraws only those, at most once per animation frame.
var Tiles = (function () {
    'use strict';

    var SVG = 'http://www.w3.org/2000/svg';
    var CHART_W = 120;
    var CHART_H = 28;

    // Writes only what reads differently: an unchanged tile costs no style or layout work.
    function setText(node, text) {
        if (node.textContent !== text)
            node.textContent = text;
    }

    function setAttr(node, name, value) {
        if (node.getAttribute(name) !== value)
            node.setAttribute(name, value);
    }

    function setHidden(node, hidden) {
        if (node.hidden !== hidden)
            node.hidden = hidden;
    }

    function age(ms) {
        if (ms < 0)
            ms = 0;
        var s = Math.floor(ms / 1000);
        // Heartbeats come every 30 s: seconds would only make every tile's text tick.
        if (s < 60)
            return '< 1 min ago';
        if (s < 3600)
            return Math.floor(s / 60) + ' min ago';
        if (s < 172800)
            return Math.floor(s / 3600) + ' h ago';
        return Math.floor(s / 86400) + ' d ago';
    }

    // When a text written by age() for something that happened at `then` next reads differently.
    function ageChanges(then, now) {
        var ms = Math.max(0, now - then);
        var unit = ms < 3600e3 ? 60e3 : ms < 172800e3 ? 3600e3 : 86400e3;
        return then + (Math.floor(ms / unit) + 1) * unit;
    }

    function duration(sec) {
        var s = Math.floor(sec);
        if (s < 60)
            return s + ' s';
        if (s < 3600)
            return Math.floor(s / 60) + ' min';
        if (s < 86400)
            return Math.floor(s / 3600) + ' h ' + Math.floor((s % 3600) / 60) + ' min';
        return Math.floor(s / 86400) + ' d ' + Math.floor((s % 86400) / 3600) + ' h';
    }

    function ms(value) {
        return value === null ? '\u2014' : (value < 10 ? value.toFixed(1) : Math.round(value)) + ' ms';
    }

    function plural(n, one, many) {
        return n + ' ' + (n === 1 ? one : many);
    }

    // The template's indentation would be a third of a tile's nodes: with thousands of tiles
    // every node counts in memory and style work. Spacing comes from the stylesheet instead.
    function stripped(root) {
        var walker = root.ownerDocument.createTreeWalker(root, NodeFilter.SHOW_TEXT);
        var blank = [];
        while (walker.nextNode()) {
            if (!walker.currentNode.nodeValue.trim())
                blank.push(walker.currentNode);
        }
        blank.forEach(function (node) { node.remove(); });
        return root;
    }

    function create(doc, store, clock) {
        var list = doc.getElementById('tiles');
        var prototype = stripped(doc.getElementById('tile-template').content.firstElementChild.cloneNode(true));
        var counts = doc.getElementById('counts');
        var empty = doc.getElementById('empty');
        var filterCount = doc.getElementById('filter-count');
        var tiles = new Map();
        var pending = new Set();
        var scheduled = false;
        var filter = '';
        var reorder = false;
        var refilter = false;

        function build(id) {
            var li = prototype.cloneNode(true);
            li.dataset.vehicle = id;
            var fields = {};
            li.querySelectorAll('[data-field]').forEach(function (node) {
                fields[node.dataset.field] = node;
            });
            var svg = doc.createElementNS(SVG, 'svg');
            svg.setAttribute('viewBox', '0 0 ' + CHART_W + ' ' + CHART_H);
            svg.setAttribute('preserveAspectRatio', 'none');
            svg.setAttribute('aria-hidden', 'true');
            var limit = doc.createElementNS(SVG, 'line');
            limit.setAttribute('class', 'chart-limit');
            var p99 = doc.createElementNS(SVG, 'polyline');
            p99.setAttribute('class', 'chart-p99');
            var p50 = doc.createElementNS(SVG, 'polyline');
            p50.setAttribute('class', 'chart-p50');
            svg.append(limit, p99, p50);
            fields.chart.append(svg);
            var tile = { li: li, fields: fields, rank: -1, search: '', chart: '', counted: null, due: Infinity,
                         lines: { limit: limit, p50: p50, p99: p99 } };
            tiles.set(id, tile);
            reorder = true;
            return tile;
        }

        function drawChart(tile, e, now) {
            var h = e.history;
            var signature = h.length ? h.length + ':' + h[h.length - 1].t + ':' + h[0].t : '';
            if (signature === tile.chart)
                return;
            tile.chart = signature;
            var top = Fleet.SLOW_P99_MS * 1.25;
            h.forEach(function (p) {
                if (p.p99 !== null && p.p99 > top)
                    top = p.p99;
            });
            var start = now - Fleet.HISTORY_MS;
            function line(member) {
                var points = [];
                h.forEach(function (p) {
                    if (p[member] === null)
                        return;
                    var x = Math.max(0, Math.min(CHART_W, (p.t - start) / Fleet.HISTORY_MS * CHART_W));
                    var y = CHART_H - 1 - p[member] / top * (CHART_H - 2);
                    points.push(x.toFixed(1) + ',' + y.toFixed(1));
                });
                // A single sample still shows as a short mark at its time.
                if (points.length === 1)
                    points.push(points[0].replace(/^[^,]+/, function (x) { return String(Math.min(CHART_W, +x + 2)); }));
                return points.join(' ');
            }
            tile.lines.p50.setAttribute('points', line('p50'));
            tile.lines.p99.setAttribute('points', line('p99'));
            var ly = (CHART_H - 1 - Fleet.SLOW_P99_MS / top * (CHART_H - 2)).toFixed(1);
            tile.lines.limit.setAttribute('x1', '0');
            tile.lines.limit.setAttribute('x2', String(CHART_W));
            tile.lines.limit.setAttribute('y1', ly);
            tile.lines.limit.setAttribute('y2', ly);
        }

        function draw(id, now) {
            var e = store.get(id);
            if (!e)
                return;
            var tile = tiles.get(id) || build(id);
            var a = Fleet.assess(e, now);
            var s = e.status;
            var f = tile.fields;
            setAttr(tile.li, 'data-state', a.key);
            setText(f.id, e.id);
            setText(f.state, a.label);
            setText(f.screen, s && s.screen !== null ? s.screen : 'screen unknown');
            setText(f.seen, e.lastSeen === null ? 'never' : age(now - e.lastSeen));
            setText(f.version, e.info && e.info.version !== null ? e.info.version : '\u2014');
            setText(f.uptime, s && s.uptimeSec !== null ? duration(s.uptimeSec) : '\u2014');
            setText(f.results, s && s.resultsShown !== null ? plural(s.resultsShown, 'result', 'results') : '\u2014');
            setText(f.latency, s && (s.p50 !== null || s.p99 !== null)
                ? 'p50 ' + ms(s.p50) + ' \u00b7 p99 ' + ms(s.p99) : 'no results yet');
            var d = e.diagnostics;
            var test = 'none published';
            if (d && d.result) {
                test = (d.result === 'pass' ? '\u2713 passed' : '\u2717 failed')
                    + (d.timeMs !== null ? ' ' + age(now - d.timeMs) : '');
            }
            setText(f.selftest, test);
            var flags = a.troubles.slice();
            if (a.technician)
                flags.push('technician logged in');
            setText(f.flags, flags.join(' \u00b7 '));
            drawChart(tile, e, now);
            count(tile, a);
            // The clock alone changes this tile next when an age reads differently or the
            // vehicle turns silent; until then the tick passes it by.
            var due = Infinity;
            if (e.lastSeen !== null) {
                due = ageChanges(e.lastSeen, now);
                if (e.beats && now <= e.lastSeen + Fleet.SILENT_MS)
                    due = Math.min(due, e.lastSeen + Fleet.SILENT_MS + 1);
            }
            if (d && d.timeMs !== null)
                due = Math.min(due, ageChanges(d.timeMs, now));
            tile.due = due;
            // The label reads as one line in a screen reader's list of tiles.
            setAttr(tile.li.firstElementChild, 'aria-label',
                e.id + ', ' + a.label.replace(/^\S+ /, '') + (flags.length ? ' (' + flags.join(', ') + ')' : '')
                + ', screen ' + (s && s.screen !== null ? s.screen : 'unknown'));
            tile.search = [e.id, a.key, a.label, s && s.screen, e.info && e.info.version, flags.join(' ')]
                .join(' ').toLowerCase();
            setHidden(tile.li, filter !== '' && tile.search.indexOf(filter) < 0);
            if (tile.rank !== a.rank) {
                tile.rank = a.rank;
                reorder = true;
            }
        }

        function sortTiles() {
            var ordered = Array.from(tiles.entries()).sort(function (x, y) {
                return x[1].rank - y[1].rank || (x[0] < y[0] ? -1 : x[0] > y[0] ? 1 : 0);
            });
            var ref = list.firstElementChild;
            ordered.forEach(function (pair) {
                var li = pair[1].li;
                if (li === ref)
                    ref = ref.nextElementSibling;
                else
                    list.insertBefore(li, ref);
            });
        }

        // The header's counts follow each drawn tile's change, so a frame costs the same with
        // fifty vehicles as with five thousand.
        var n = { online: 0, offline: 0, outOfOrder: 0, testFailed: 0, slow: 0, unreadable: 0 };

        function count(tile, a) {
            var was = tile.counted;
            var is = a.key === 'unknown' ? null : {
                online: a.online ? 1 : 0, offline: a.online ? 0 : 1, outOfOrder: a.outOfOrder ? 1 : 0,
                testFailed: a.testFailed ? 1 : 0, slow: a.slow ? 1 : 0, unreadable: a.unreadable ? 1 : 0
            };
            Object.keys(n).forEach(function (k) {
                n[k] += (is ? is[k] : 0) - (was ? was[k] : 0);
            });
            tile.counted = is;
        }

        function drawCounts() {
            var parts = [n.online + ' online', n.offline + ' offline'];
            if (n.outOfOrder) parts.push(n.outOfOrder + ' out of order');
            if (n.testFailed) parts.push(plural(n.testFailed, 'self-test', 'self-tests') + ' failed');
            if (n.slow) parts.push(n.slow + ' slow');
            if (n.unreadable) parts.push(n.unreadable + ' unreadable');
            setText(counts, parts.join(' \u00b7 '));
            empty.hidden = tiles.size > 0;
        }

        function drawFilterCount() {
            if (filter === '') {
                setText(filterCount, '');
                return;
            }
            var shown = 0;
            tiles.forEach(function (tile) {
                if (!tile.li.hidden)
                    ++shown;
            });
            setText(filterCount, shown + ' of ' + tiles.size + ' shown');
        }

        function frame() {
            scheduled = false;
            var now = clock();
            var ids = pending;
            pending = new Set();
            ids.forEach(function (id) { draw(id, now); });
            if (refilter) {
                tiles.forEach(function (tile) {
                    setHidden(tile.li, filter !== '' && tile.search.indexOf(filter) < 0);
                });
            }
            if (reorder)
                sortTiles();
            if (ids.size || refilter)
                drawCounts();
            if (ids.size || refilter)
                drawFilterCount();
            reorder = false;
            refilter = false;
        }

        function schedule() {
            if (!scheduled) {
                scheduled = true;
                requestAnimationFrame(frame);
            }
        }

        return {
            // Called from the page's animation frame with the vehicles that changed since the last.
            draw: function (ids) {
                ids.forEach(function (id) { pending.add(id); });
                if (pending.size || refilter)
                    frame();
            },
            // Ages and silence follow the clock: everything is looked at again, and only the
            // texts that read differently are written.
            tick: function () {
                var now = clock();
                tiles.forEach(function (tile, id) {
                    if (tile.due <= now)
                        pending.add(id);
                });
                if (pending.size)
                    schedule();
            },
            setFilter: function (text) {
                filter = text.trim().toLowerCase();
                refilter = true;
                schedule();
            },
            setStale: function (stale) {
                list.classList.toggle('stale', stale);
                list.setAttribute('aria-busy', stale ? 'true' : 'false');
            },
            age: age,
            duration: duration
        };
    }

    return { create: create, age: age, ageChanges: ageChanges, duration: duration };
})();
