// The fleet state the page's worker keeps, under Node's own test runner: what it keeps of each
// message, how it judges trouble (by the one table of kinds), the order, filter and counts over
// the whole fleet, and that no message can stop it.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const WEB = path.join(__dirname, '..', '..', 'depot', 'web');
const Fleet = require(path.join(WEB, 'fleet.js'));
const Kinds = require(path.join(WEB, 'kinds.js'));
const facts = JSON.parse(fs.readFileSync(path.join(WEB, 'facts.json'), 'utf8'));

const NOW = 1796680000000;
const enc = new TextEncoder();
const iso = (ms) => new Date(ms).toISOString().replace(/\.\d+Z$/, 'Z');
const status = (members) => JSON.stringify(Object.assign({ service: true, screen: 'ScanScreens', time: iso(NOW) }, members));

// [topic, payload, retained, offset ms] to a fresh state; each vehicle's entry and assessment at NOW.
function feed(messages) {
    const store = Fleet.create(facts);
    for (const [topic, payload, retained, offset] of messages)
        store.handle(topic, enc.encode(payload), retained, NOW + (offset || 0));
    const out = {};
    store.vehicles.forEach((e, id) => { out[id] = { entry: e, assess: Fleet.assess(e, NOW, facts) }; });
    return { store, out };
}

test('fleet state keeps good data and judges trouble by the table of kinds', () => {
    const good = status({});
    const { out: got } = feed([
        // Wrong types are left out, not shown wrong; the rest of the message is kept.
        ['fleet/types/ui/status', JSON.stringify({ screen: 5, uptimeSec: '9', technician: 'yes', service: true, resultsShown: 3 }), false],
        // A bad message keeps the last good one and says so; a good one clears that.
        ['fleet/bad/ui/status', good, true], ['fleet/bad/ui/status', '{', true],
        ['fleet/mended/ui/status', '[]', true], ['fleet/mended/ui/status', good, true],
        ['fleet/huge/ui/info', 'x'.repeat(64 * 1024 + 1), true],
        // An empty retained message clears the kept one: nothing known, nothing unreadable.
        ['fleet/cleared/ui/info', '{', true], ['fleet/cleared/ui/info', '', true],
        ['fleet/odd/bridge', 'yes', true],
        // Heard from long ago and not since, though the link is up: silent.
        ['fleet/silent/bridge', '1', true], ['fleet/silent/ui/status', status({ time: iso(NOW - 100000) }), true],
        // A program that sends no time sends no heartbeat: quiet for long, still online.
        ['fleet/quiet/bridge', '1', true],
        ['fleet/quiet/ui/status', JSON.stringify({ service: true, screen: 'ScanScreens' }), false, -100000],
        // A program stopped on purpose publishes nothing more: out of order, not silent.
        ['fleet/stopped/ui/status', JSON.stringify({ technician: false, service: false }), true],
        ['fleet/lost/bridge', '1', true], ['fleet/lost/ui/status', good, true], ['fleet/lost/bridge', '0', false],
        ['fleet/broken/ui/status', status({ screen: 'OutOfOrder' }), true],
        ['fleet/failed/ui/diagnostics', JSON.stringify({ result: 'fail', values: { leds: 'ERROR' } }), true],
        ['fleet/slow/ui/status', status({ display: { resultFrameMsP50: 20, resultFrameMsP99: 140.5 } }), true],
        ['fleet/fine/ui/status', status({ technician: true }), true],
        ['fleet/waiting/ui/info', '{"version":"1.2.3"}', true],
        // A vehicle clock far ahead is not believed: a kept status is then as old as its arrival.
        ['fleet/ahead/ui/status', status({ time: iso(NOW + 3600000) }), true],
        // Not a vehicle's topic, or not one the tiles read: ignored.
        ['fleet/x/ui/status/get', good, false], ['fleet//bridge', '1', true], ['other/x/bridge', '1', true],
        ['fleet/x/ui/screenshot', 'png', false],
    ]);
    assert.deepEqual(Object.keys(got).sort(), ['ahead', 'bad', 'broken', 'cleared', 'failed', 'fine', 'huge', 'lost',
        'mended', 'odd', 'quiet', 'silent', 'slow', 'stopped', 'types', 'waiting']);
    const kind = (id) => got[id].assess.kind.id;
    const rows = [
        ['types', 'online', []], ['bad', 'unreadable', ['status unreadable (not JSON)']], ['mended', 'online', []],
        ['huge', 'unreadable', ['info too large (65537 bytes)']], ['cleared', 'waiting', []],
        ['odd', 'unreadable', ['bridge unreadable (not 0 or 1)']], ['silent', 'silent', ['no heartbeat']],
        ['quiet', 'online', []], ['stopped', 'stopped', ['not in service']], ['lost', 'linkLost', ['link lost']],
        ['broken', 'outOfOrder', ['out of order']], ['failed', 'testFailed', ['self-test failed']],
        ['slow', 'slow', ['p99 over ' + facts.slowP99Ms + ' ms']], ['fine', 'online', []], ['waiting', 'waiting', []],
        ['ahead', 'online', []],
    ];
    for (const [id, want, troubles] of rows) {
        assert.equal(kind(id), want, id);
        assert.deepEqual(got[id].assess.troubles, troubles, id);
    }
    const types = got.types.entry.status;
    assert.deepEqual([types.screen, types.uptimeSec, types.technician, types.resultsShown], [null, null, null, 3]);
    assert.equal(got.bad.entry.status.screen, 'ScanScreens');
    assert.equal(got.quiet.entry.lastSeen, NOW - 100000);
    assert.equal(got.ahead.entry.lastSeen, NOW);
    assert.equal(got.fine.assess.technician, true);
    // The order follows the table: offline (link lost or silent), unreadable, out of order,
    // self-test, slow, waiting, online.
    const order = (id) => got[id].assess.kind.order;
    assert.equal(order('lost'), order('silent'));
    assert.equal(order('stopped'), order('broken'));
    const ladder = ['lost', 'bad', 'broken', 'failed', 'slow', 'waiting', 'fine'];
    for (let i = 1; i < ladder.length; ++i)
        assert.ok(order(ladder[i - 1]) < order(ladder[i]), ladder[i - 1] + ' before ' + ladder[i]);
});

test('no message stops the state: a deep or hostile one marks only its vehicle', () => {
    const deep = '['.repeat(4500) + ']'.repeat(4500);
    const { store, out } = feed([
        ['fleet/a/ui/status', status({}), true],
        ['fleet/a/ui/diagnostics', '{"result":"pass","values":' + deep + '}', true],
        ['fleet/b/ui/status', '{"screen":' + deep + '}', true],
        ['fleet/c/ui/status', status({ screen: { toString: 1 }, display: { resultFrameMsP99: { valueOf: 1 } } }), true],
        ['fleet/__proto__/ui/status', status({}), true],
        ['fleet/d/ui/status', status({ screen: 'Valid' }), false],
    ]);
    assert.deepEqual(out.a.assess.troubles, ['diagnostics unreadable (nested deeper than 16 levels)']);
    assert.equal(out.a.entry.status.screen, 'ScanScreens');
    assert.equal(out.b.assess.kind.id, 'unreadable');
    assert.equal(out.c.assess.kind.id, 'online');
    assert.equal(out.d.entry.status.screen, 'Valid');
    // A failure inside reading (here a decoder that throws) stays with that vehicle too.
    const payload = { length: 10, get buffer() { throw new TypeError('detached'); } };
    assert.equal(store.handle('fleet/e/ui/status', payload, false, NOW), 'e');
    assert.deepEqual(Fleet.assess(store.get('e'), NOW, facts).troubles, ['status could not be read (TypeError)']);
    // Every vehicle is still drawn.
    const batch = store.flush(NOW);
    assert.equal(batch.views.length, 6);
    assert.equal(batch.order.length, 6);
    assert.ok(Fleet.detail(store.get('a'), NOW, facts).unreadable.includes('nested deeper'));
});

test('order, filter and counts cover the whole fleet; only changes are sent', () => {
    const store = Fleet.create(facts);
    for (let i = 0; i < 2000; ++i) {
        const id = 'bus-' + String(i).padStart(4, '0');
        store.handle('fleet/' + id + '/bridge', enc.encode('1'), true, NOW);
        store.handle('fleet/' + id + '/ui/status', enc.encode(status({})), true, NOW);
    }
    let batch = store.flush(NOW);
    // Views only for the top of the order until the page says which tiles it shows.
    assert.equal(batch.views.length, 120);
    assert.equal(batch.order.length, 2000);
    assert.deepEqual([batch.counts.vehicles, batch.counts.online, batch.counts.offline], [2000, 2000, 0]);
    assert.equal(batch.order[0], 'bus-0000');
    // One link drops and one self-test fails: they lead the order, and are counted.
    store.handle('fleet/bus-1500/bridge', enc.encode('0'), false, NOW);
    store.handle('fleet/bus-0700/ui/diagnostics', enc.encode('{"result":"fail","values":{}}'), true, NOW);
    batch = store.flush(NOW);
    assert.equal(batch.views.length, 2);
    assert.deepEqual(batch.order.slice(0, 3), ['bus-1500', 'bus-0700', 'bus-0000']);
    assert.deepEqual([batch.counts.online, batch.counts.offline, batch.counts.testFailed], [1999, 1, 1]);
    // A heartbeat changes a tile, not the order.
    store.handle('fleet/bus-0001/ui/status', enc.encode(status({ screen: 'Valid' })), false, NOW);
    batch = store.flush(NOW);
    assert.equal(batch.order, undefined);
    assert.deepEqual(batch.views.map((v) => [v[0], v[1].screen]), [['bus-0001', 'Valid']]);
    // The page shows the end of the list: those tiles' views come, once, and changes only to them.
    store.show(['bus-1998', 'bus-1999']);
    assert.deepEqual(store.flush(NOW).views.map((v) => v[0]).sort(), ['bus-1998', 'bus-1999']);
    store.handle('fleet/bus-0001/ui/status', enc.encode(status({ screen: 'Invalid' })), false, NOW);
    store.handle('fleet/bus-1999/ui/status', enc.encode(status({ screen: 'Invalid' })), false, NOW);
    batch = store.flush(NOW);
    assert.deepEqual(batch.views.map((v) => [v[0], v[1].screen]), [['bus-1999', 'Invalid']]);
    assert.equal(store.flush(NOW).views.length, 0);
    // The filter runs over every vehicle, by the words on its tile.
    store.setFilter('  OFFLINE ');
    assert.deepEqual(store.flush(NOW).order, ['bus-1500']);
    store.setFilter('bus-19');
    assert.equal(store.flush(NOW).order.length, 100);
    // Silence follows the clock: ninety seconds on, every quiet vehicle turns offline.
    store.setFilter('');
    store.tick(NOW + facts.silentAfterSec * 1000 + 2);
    batch = store.flush(NOW + facts.silentAfterSec * 1000 + 2);
    assert.equal(batch.counts.offline, 2000);
});

test('every style in the table of kinds has its rules in the stylesheet, and no other', () => {
    const css = fs.readFileSync(path.join(WEB, 'depot.css'), 'utf8');
    const styled = new Set([...css.matchAll(/\.tile\[data-style="([a-z]+)"\]/g)].map((m) => m[1]));
    assert.deepEqual([...styled].sort(), Kinds.styles().sort());
    assert.doesNotMatch(css, /\.tile\[data-state=/, 'tiles are coloured by style, not by state');
    assert.deepEqual(Kinds.table.map((k) => k.order), [0, 0, 1, 2, 2, 3, 4, 5, 6]);
});

test('the detail view lists the self-test by the shared names and marks what is not OK', () => {
    const values = Object.fromEntries(facts.selfTestNames.map((n) => [n, 'OK']));
    values.leds = 'ERROR';
    values.extra = 'x';
    const store = Fleet.create(facts);
    const messages = [['fleet/a/ui/diagnostics', JSON.stringify({ result: 'fail', values }), true],
                      ['fleet/a/ui/status', status({ display: { resultFrameMsP50: 4 } }), true]];
    const give = (id) => messages.forEach(([t, p, r]) => store.handle(t.replace('/a/', '/' + id + '/'), enc.encode(p), r, NOW));
    // Only the watched vehicle's messages are kept whole: the others keep what their tiles show.
    give('a');
    assert.deepEqual([store.get('a').status.text, store.get('a').diagnostics.text], [null, null]);
    assert.equal(Fleet.detail(store.get('a'), NOW, facts).test.length, 0);
    store.watch('a');
    give('a');
    give('b');
    assert.equal(store.get('b').diagnostics.text, null);
    const d = Fleet.detail(store.get('a'), NOW, facts);
    assert.equal(d.test.length, facts.selfTestNames.length + 1);
    assert.deepEqual(d.test.map((r) => r[0]).slice(0, facts.selfTestNames.length), facts.selfTestNames);
    assert.deepEqual(d.test.filter((r) => r[2]).map((r) => r[0]), ['leds']);
    assert.ok(d.status.some((r) => r[0] === 'display.resultFrameMsP50' && r[1] === '4'));
    store.watch('b');
    assert.deepEqual([store.get('a').status.text, store.get('a').diagnostics.text], [null, null]);
});
