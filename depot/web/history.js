// A vehicle's result times over the last hour, for the chart on its tile: one sample per
// 20-second bucket of time, holding the worst of what was reported in it, so a vehicle that
// reports every few seconds keeps as many points as one reporting every 20 s, and a spike
// within a bucket is not lost. A ring of 180 buckets in typed arrays (1.4 KB a vehicle, however
// long the page stays open): with ten thousand vehicles, objects per sample would not be flat.
var History = (function () {
    'use strict';

    var KEEP_MS = 60 * 60 * 1000;
    var BUCKET_MS = 20 * 1000;
    var SLOTS = KEEP_MS / BUCKET_MS;
    var NONE = 0xffff;
    // Result times in tenths of a millisecond, up to 6.5 s (longer ones are drawn as that).
    var MAX_TENTHS = NONE - 1;

    function create() {
        return { last: -1, bucket: new Uint32Array(SLOTS), p50: new Uint16Array(SLOTS), p99: new Uint16Array(SLOTS) };
    }

    function tenths(ms) {
        return ms === null ? NONE : Math.max(0, Math.min(MAX_TENTHS, Math.round(ms * 10)));
    }

    function worse(a, b) {
        return a === NONE ? b : b === NONE ? a : Math.max(a, b);
    }

    // Adds a report at time t to h (null: none yet) and returns h. Reports older than the
    // newest bucket are left out, as the chart only moves forward.
    function add(h, t, p50, p99) {
        var bucket = Math.floor(t / BUCKET_MS);
        if (!h)
            h = create();
        if (bucket < h.last)
            return h;
        var slot = bucket % SLOTS;
        if (bucket === h.last) {
            h.p50[slot] = worse(h.p50[slot], tenths(p50));
            h.p99[slot] = worse(h.p99[slot], tenths(p99));
        } else {
            h.bucket[slot] = bucket;
            h.p50[slot] = tenths(p50);
            h.p99[slot] = tenths(p99);
            h.last = bucket;
        }
        return h;
    }

    // The samples of the hour up to now, oldest first: { t (the bucket's middle), p50, p99 }.
    function samples(h, now) {
        var out = [];
        if (!h)
            return out;
        var newest = Math.floor(now / BUCKET_MS);
        for (var b = newest - SLOTS + 1; b <= newest; ++b) {
            var slot = ((b % SLOTS) + SLOTS) % SLOTS;
            if (b < 0 || b > h.last || h.bucket[slot] !== b)
                continue;
            out.push({ t: b * BUCKET_MS + BUCKET_MS / 2,
                       p50: h.p50[slot] === NONE ? null : h.p50[slot] / 10,
                       p99: h.p99[slot] === NONE ? null : h.p99[slot] / 10 });
        }
        return out;
    }

    // The chart's lines as SVG points in a width x height box: time across the last hour,
    // result time up to a little over the slow limit (or the worst p99, when higher).
    function chart(h, now, slowMs, width, height) {
        var list = samples(h, now);
        var top = slowMs * 1.25;
        list.forEach(function (p) {
            if (p.p99 !== null && p.p99 > top)
                top = p.p99;
        });
        var start = now - KEEP_MS;
        var y = function (v) { return (height - 1 - v / top * (height - 2)).toFixed(1); };
        function line(member) {
            var points = [];
            list.forEach(function (p) {
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

    return { KEEP_MS: KEEP_MS, BUCKET_MS: BUCKET_MS, add: add, samples: samples, chart: chart };
})();

if (typeof module === 'object' && module.exports)
    module.exports = History;
