// A vehicle's result times over the last hour, for the chart on its tile: one sample per
// 20-second bucket of time, holding the worst of what was reported in it, so a vehicle that
// reports every few seconds keeps as many points as one reporting every 20 s, and a spike
// within a bucket is not lost.
var History = (function () {
    'use strict';

    var KEEP_MS = 60 * 60 * 1000;
    var BUCKET_MS = 20 * 1000;

    function worse(a, b) {
        return a === null ? b : b === null ? a : Math.max(a, b);
    }

    // Adds a report at time t to the list h (oldest first); older reports than the newest
    // bucket are left out, as the chart only moves forward.
    function add(h, t, p50, p99) {
        var bucket = Math.floor(t / BUCKET_MS);
        var last = h.length ? h[h.length - 1] : null;
        if (last && bucket < last.b)
            return;
        if (last && bucket === last.b) {
            last.p50 = worse(last.p50, p50);
            last.p99 = worse(last.p99, p99);
            last.t = Math.max(last.t, t);
        } else {
            h.push({ b: bucket, t: t, p50: p50, p99: p99 });
        }
        var cut = 0;
        while (cut < h.length && h[cut].t < t - KEEP_MS)
            ++cut;
        if (cut)
            h.splice(0, cut);
    }

    // The chart's lines as SVG points in a width x height box: time across the last hour,
    // result time up to a little over the slow limit (or the worst p99, when higher).
    function chart(h, now, slowMs, width, height) {
        var top = slowMs * 1.25;
        h.forEach(function (p) {
            if (p.p99 !== null && p.p99 > top)
                top = p.p99;
        });
        var start = now - KEEP_MS;
        var y = function (v) { return (height - 1 - v / top * (height - 2)).toFixed(1); };
        function line(member) {
            var points = [];
            h.forEach(function (p) {
                if (p[member] === null)
                    return;
                var x = Math.max(0, Math.min(width, (p.t - start) / KEEP_MS * width));
                points.push(x.toFixed(1) + ',' + y(p[member]));
            });
            // A single sample still shows as a short mark at its time.
            if (points.length === 1)
                points.push(points[0].replace(/^[^,]+/, function (x) { return String(Math.min(width, +x + 2)); }));
            return points.join(' ');
        }
        return { p50: line('p50'), p99: line('p99'), limit: y(slowMs) };
    }

    return { KEEP_MS: KEEP_MS, BUCKET_MS: BUCKET_MS, add: add, chart: chart };
})();

if (typeof module === 'object' && module.exports)
    module.exports = History;
