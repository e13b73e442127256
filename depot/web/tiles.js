// Draws the fleet as tiles, trouble first, and the header's counts. Never subscribes: the worker
// sends what each tile reads and the order over the whole fleet; this keeps in the document only
// the tiles in view and a screenful either side (a windowed list), placed where the whole list
// would put them, so that scrolling, Tab and a screen reader's "item 5,012 of 10,000" stay true.
var Tiles = (function () {
    'use strict';

    var SVG = 'http://www.w3.org/2000/svg';
    // The grid, in em of the list's font: the stylesheet's tile fits this box.
    var TILE_MIN_EM = 15.5;
    var TILE_H_EM = 12.5;
    var GAP_EM = 0.6;

    // Writes only what reads differently: an unchanged tile costs no style or layout work.
    function setText(node, text) {
        if (node.textContent !== text)
            node.textContent = text;
    }

    function setAttr(node, name, value) {
        if (node.getAttribute(name) !== value)
            node.setAttribute(name, value);
    }

    function plural(n, one, many) {
        return n + ' ' + (n === 1 ? one : many);
    }

    // The template's indentation would be a third of a tile's nodes. Spacing comes from the stylesheet.
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

    // A tile whose view has not come yet (it has just come into view): its id alone.
    function pending(id) {
        return { id: id, state: 'unknown', style: 'quiet', badge: '\u2026', screen: '', seen: '', version: '', uptime: '',
                 results: '', latency: '', selftest: '', flags: '', aria: id + ', loading', p50: '', p99: '', limit: '0',
                 pending: true };
    }

    // schedule(): asks the page's one frame scheduler for a frame, in which draw() is called.
    // show(ids): tells the worker which tiles are in the document, whose views it is to send.
    function create(doc, schedule, show) {
        var win = doc.defaultView;
        var list = doc.getElementById('tiles');
        var prototype = stripped(doc.getElementById('tile-template').content.firstElementChild.cloneNode(true));
        var counts = doc.getElementById('counts');
        var empty = doc.getElementById('empty');
        var views = new Map();
        var order = [];
        var shown = new Map();
        var pool = [];
        var grid = null;
        // The tile that holds keyboard focus keeps its place while it does: the others are
        // reordered around it, and it is never taken out of the document.
        var focused = null;
        var pinnedAt = -1;
        var displayed = [];
        var showing = '';

        function build() {
            var li = prototype.cloneNode(true);
            var fields = {};
            li.querySelectorAll('[data-field]').forEach(function (node) {
                fields[node.dataset.field] = node;
            });
            var svg = doc.createElementNS(SVG, 'svg');
            svg.setAttribute('viewBox', '0 0 120 28');
            svg.setAttribute('preserveAspectRatio', 'none');
            svg.setAttribute('aria-hidden', 'true');
            var lines = {};
            ['limit', 'p99', 'p50'].forEach(function (name) {
                lines[name] = doc.createElementNS(SVG, name === 'limit' ? 'line' : 'polyline');
                lines[name].setAttribute('class', 'chart-' + name);
                svg.append(lines[name]);
            });
            lines.limit.setAttribute('x1', '0');
            lines.limit.setAttribute('x2', '120');
            fields.chart.append(svg);
            return { li: li, button: li.firstElementChild, fields: fields, lines: lines, id: null, view: null, x: -1, y: -1 };
        }

        function fill(tile, v) {
            var f = tile.fields;
            tile.view = v;
            setAttr(tile.li, 'data-state', v.state);
            setAttr(tile.li, 'data-style', v.style);
            setText(f.id, v.id);
            setText(f.state, v.badge);
            setText(f.screen, v.screen);
            setText(f.seen, v.seen);
            setText(f.version, v.version);
            setText(f.uptime, v.uptime);
            setText(f.results, v.results);
            setText(f.latency, v.latency);
            setText(f.selftest, v.selftest);
            setText(f.flags, v.flags);
            setAttr(tile.lines.p50, 'points', v.p50);
            setAttr(tile.lines.p99, 'points', v.p99);
            setAttr(tile.lines.limit, 'y1', v.limit);
            setAttr(tile.lines.limit, 'y2', v.limit);
            setAttr(tile.button, 'aria-label', v.aria);
            if (v.pending)
                setAttr(tile.li, 'data-pending', '');
            else if (tile.li.hasAttribute('data-pending'))
                tile.li.removeAttribute('data-pending');
        }

        function measure() {
            var font = parseFloat(win.getComputedStyle(list).fontSize) || 15;
            var width = list.clientWidth;
            var gap = GAP_EM * font;
            var cols = Math.max(1, Math.floor((width + gap) / (TILE_MIN_EM * font + gap)));
            grid = { width: width, cols: cols, gap: gap, colW: (width - gap * (cols - 1)) / cols,
                     tileH: TILE_H_EM * font, step: TILE_H_EM * font + gap };
        }

        // The order on screen: the worker's, with the focused tile held where it was.
        function arrangeOrder() {
            if (focused === null || pinnedAt < 0) {
                displayed = order;
                return;
            }
            var rest = order.filter(function (id) { return id !== focused; });
            rest.splice(Math.min(pinnedAt, rest.length), 0, focused);
            displayed = rest;
        }

        // Puts the list's children in the order given, never moving the focused one (moving an
        // element out of the document and back drops its focus).
        function arrangeNodes(wanted, anchor) {
            var k = anchor ? wanted.indexOf(anchor) : -1;
            var ref = list.firstChild;
            for (var i = 0; i < wanted.length; ++i) {
                if (i === k) {
                    ref = anchor.nextSibling;
                    continue;
                }
                if (wanted[i] === ref)
                    ref = ref.nextSibling;
                else
                    list.insertBefore(wanted[i], ref);
            }
        }

        function draw() {
            if (!grid || list.clientWidth !== grid.width)
                measure();
            var rect = list.getBoundingClientRect();
            var total = displayed.length;
            var rows = Math.ceil(total / grid.cols);
            var firstRow = Math.max(0, Math.floor(-rect.top / grid.step));
            var lastRow = Math.max(firstRow, Math.ceil((win.innerHeight - rect.top) / grid.step));
            var margin = Math.max(2, lastRow - firstRow);
            var from = Math.min(total, Math.max(0, firstRow - margin) * grid.cols);
            var to = Math.min(total, (lastRow + margin) * grid.cols);
            // Around the focused tile too, so that Tab and Shift+Tab always find the next one,
            // however fast they are pressed.
            var at = focused === null ? -1 : displayed.indexOf(focused);
            if (at >= 0) {
                from = Math.min(from, Math.max(0, at - 2 * grid.cols));
                to = Math.max(to, Math.min(total, at + 2 * grid.cols + 1));
            }
            var height = Math.max(0, rows * grid.step - grid.gap) + 'px';
            if (list.style.height !== height)
                list.style.height = height;

            var wanted = new Map();
            for (var i = from; i < to; ++i)
                wanted.set(displayed[i], i);
            shown.forEach(function (tile, id) {
                if (!wanted.has(id)) {
                    tile.li.remove();
                    shown.delete(id);
                    tile.id = null;
                    pool.push(tile);
                }
            });
            var nodes = [];
            var anchor = null;
            wanted.forEach(function (index, id) {
                var v = views.get(id);
                var tile = shown.get(id);
                if (!tile) {
                    tile = pool.pop() || build();
                    tile.id = id;
                    tile.view = null;
                    tile.li.dataset.vehicle = id;
                    shown.set(id, tile);
                }
                if (!v && (!tile.view || !tile.view.pending || tile.view.id !== id))
                    fill(tile, pending(id));
                else if (v && tile.view !== v)
                    fill(tile, v);
                var x = (index % grid.cols) * (grid.colW + grid.gap);
                var y = Math.floor(index / grid.cols) * grid.step;
                if (tile.x !== x || tile.y !== y || tile.w !== grid.colW) {
                    tile.li.style.transform = 'translate(' + x.toFixed(1) + 'px,' + y.toFixed(1) + 'px)';
                    tile.li.style.width = grid.colW.toFixed(1) + 'px';
                    tile.li.style.height = grid.tileH.toFixed(1) + 'px';
                    tile.x = x;
                    tile.y = y;
                    tile.w = grid.colW;
                }
                setAttr(tile.li, 'aria-posinset', String(index + 1));
                setAttr(tile.li, 'aria-setsize', String(total));
                if (id === focused)
                    anchor = tile.li;
                nodes.push([index, tile.li]);
            });
            nodes.sort(function (a, b) { return a[0] - b[0]; });
            arrangeNodes(nodes.map(function (n) { return n[1]; }), anchor);
            // The worker sends views for these tiles only; the page forgets the others.
            var ids = Array.from(wanted.keys());
            var key = ids.join('\n');
            if (key !== showing) {
                showing = key;
                views.forEach(function (v, id) {
                    if (!wanted.has(id))
                        views.delete(id);
                });
                show(ids);
            }
        }

        list.addEventListener('focusin', function (event) {
            var tile = event.target.closest('.tile');
            focused = tile ? tile.dataset.vehicle : null;
            pinnedAt = focused === null ? -1 : displayed.indexOf(focused);
            if (focused !== null && grid)
                draw();
        });
        list.addEventListener('focusout', function (event) {
            if (event.relatedTarget && list.contains(event.relatedTarget))
                return;
            focused = null;
            pinnedAt = -1;
            arrangeOrder();
            schedule();
        });
        win.addEventListener('scroll', schedule, { passive: true });
        win.addEventListener('resize', function () {
            grid = null;
            schedule();
        });

        return {
            // A batch from the worker: views of the vehicles that changed, the counts, and the
            // order when it changed.
            apply: function (batch) {
                batch.views.forEach(function (pair) { views.set(pair[0], pair[1]); });
                if (batch.order) {
                    order = batch.order;
                    arrangeOrder();
                }
                var c = batch.counts;
                var parts = [c.online + ' online', c.offline + ' offline'];
                if (c.outOfOrder) parts.push(c.outOfOrder + ' out of order');
                if (c.testFailed) parts.push(plural(c.testFailed, 'self-test', 'self-tests') + ' failed');
                if (c.slow) parts.push(c.slow + ' slow');
                if (c.unreadable) parts.push(c.unreadable + ' unreadable');
                setText(counts, parts.join(' \u00b7 '));
                setAttr(counts, 'data-vehicles', String(c.vehicles));
                setHidden(empty, c.vehicles > 0);
            },
            draw: draw,
            shownCount: function () { return order.length; },
            setStale: function (stale) {
                list.classList.toggle('stale', stale);
                list.setAttribute('aria-busy', stale ? 'true' : 'false');
            }
        };
    }

    function setHidden(node, hidden) {
        if (node.hidden !== hidden)
            node.hidden = hidden;
    }

    return { create: create };
})();
