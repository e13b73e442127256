// The result-time history behind a tile's chart, under Node's own test runner.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const History = require('../../depot/web/history.js');

const BASE = 1796680000000;

test('a vehicle reporting every 10 s keeps one bucket per 20 s over the last hour', () => {
    let h = null;
    // 90 minutes of reports: the last hour is kept, one sample per 20 s, each the worst of its bucket.
    for (let i = 0; i < 540; ++i)
        h = History.add(h, BASE - 5400000 + i * 10000, i, 2 * i);
    const now = BASE - 5400000 + 539 * 10000;
    const kept = History.samples(h, now);
    assert.equal(kept.length, 180);
    assert.ok(kept[0].t >= now - History.KEEP_MS, 'nothing older than an hour');
    for (let i = 1; i < kept.length; ++i)
        assert.equal(kept[i].t - kept[i - 1].t, History.BUCKET_MS);
    const last = kept[kept.length - 1];
    assert.ok(last.p99 === 2 * 539 || last.p99 === 2 * 538, 'the worst of the last bucket: ' + last.p99);
    const chart = History.chart(h, now, 100, 120, 28);
    assert.equal(chart.p99.split(' ').length, 180);
});

test('a spike between two reports in one bucket is kept, an older report is left out', () => {
    let h = History.add(null, BASE, 10, 40);
    h = History.add(h, BASE + 5000, 12, 900.55);
    h = History.add(h, BASE + 9000, 11, 41);
    h = History.add(h, BASE - 60000, 99, 9999);
    h = History.add(h, BASE + 20000, null, 30);
    const kept = History.samples(h, BASE + 20000);
    assert.deepEqual(kept.map((s) => [s.p50, s.p99]), [[12, 900.6], [null, 30]]);
});

test('an hour later the chart is empty and the history takes no more room', () => {
    let h = History.add(null, BASE, 10, 40);
    const size = h.bucket.byteLength + h.p50.byteLength + h.p99.byteLength;
    for (let i = 0; i < 3 * 180; ++i)
        h = History.add(h, BASE + i * 20000, 10, 40);
    assert.equal(h.bucket.byteLength + h.p50.byteLength + h.p99.byteLength, size);
    assert.deepEqual(History.samples(h, BASE + 3 * 180 * 20000 + History.KEEP_MS), []);
    assert.deepEqual(History.chart(null, BASE, 100, 120, 28), { p50: '', p99: '', limit: '6.2' });
});
