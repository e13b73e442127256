// The page's formatting module under Node's own test runner: what a vehicle's text and answers
// become before anything shows them.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const Format = require('../../depot/web/format.js');

test('vehicle text loses control and bidirectional characters, and is cut', () => {
    const rows = [
        ['plain', 'ScanScreens', 'ScanScreens'],
        ['right-to-left override', 'bus-7\u202eko \u202c', 'bus-7 ko  '],
        ['every embedding and override', '\u202aa\u202bb\u202cc\u202dd\u202ee', ' a b c d e'],
        ['isolates', '\u2066a\u2067b\u2068c\u2069', ' a b c '],
        ['marks', 'a\u200eb\u200fc\u061cd', 'a b c d'],
        ['line breaks and separators', 'a\nb\u2028c\u2029d\u0085', 'a b c d '],
        ['numbers become text', 12, '12'],
    ];
    for (const [what, input, want] of rows)
        assert.equal(Format.cleanText(input), want, what);
    assert.equal(Format.cleanText('x'.repeat(500), 10), 'x'.repeat(9) + '\u2026');
});

test('outside JSON is bounded in depth before it is parsed or walked', () => {
    const deep = (n) => '['.repeat(n) + ']'.repeat(n);
    const rows = [
        ['a status', '{"screen":"Valid","display":{"resultFrameMsP99":40}}', null],
        ['at the bound', '{"a":' + deep(Format.MAX_DEPTH - 1) + '}', null],
        ['one deeper', '{"a":' + deep(Format.MAX_DEPTH) + '}', 'nested deeper than 16 levels'],
        ['the 4,500-deep self-test', '{"result":"pass","values":' + deep(4500) + '}', 'nested deeper than 16 levels'],
        ['brackets inside strings do not count', '{"a":"' + '['.repeat(100) + '\\"[[["}', null],
        ['not JSON', '{"screen": ', 'not JSON'],
        ['an array', '[]', 'not a JSON object'],
        ['null', 'null', 'not a JSON object'],
    ];
    for (const [what, text, error] of rows) {
        const got = Format.readObject(text);
        assert.equal(got.error || null, error, what);
        if (!error)
            assert.equal(typeof got.value, 'object', what);
    }
});

test('reconnecting waits longer each time, up to a minute, never the same for every page', () => {
    const low = (n) => Format.reconnectDelay(n, () => 0);
    const high = (n) => Format.reconnectDelay(n, () => 0.999999);
    assert.deepEqual([0, 1, 2, 3, 4, 5, 6, 7, 30].map(high), [1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000]);
    assert.deepEqual([0, 1, 6, 30].map(low), [500, 1000, 30000, 30000]);
    // A thousand pages cut off together spread over the second half of the wait.
    const waits = new Set();
    for (let i = 0; i < 1000; ++i)
        waits.add(Format.reconnectDelay(3, Math.random));
    assert.ok(waits.size > 500, 'jitter spreads the waits: ' + waits.size);
    for (const w of waits)
        assert.ok(w >= 4000 && w <= 8000, w);
});

function png(width, height, extra = 0) {
    const bytes = new Uint8Array(33 + extra);
    bytes.set([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0, 0, 0, 13, 0x49, 0x48, 0x44, 0x52]);
    new DataView(bytes.buffer).setUint32(16, width);
    new DataView(bytes.buffer).setUint32(20, height);
    return bytes;
}

test('screenshot answers are told apart by their header, never decoded', () => {
    const enc = new TextEncoder();
    const rows = [
        ['the vehicle screen', png(480, 800), 'png', null],
        ['a 7,000 x 7,000 picture', png(7000, 7000), 'unreadable', 'a picture of 7000 \u00d7 7000, not its 480 \u00d7 800 screen'],
        ['the screen on its side', png(800, 480), 'unreadable', 'a picture of 800 \u00d7 480, not its 480 \u00d7 800 screen'],
        ['a cut header', png(480, 800).slice(0, 20), 'unreadable', 'an answer that is neither a picture nor a refusal'],
        ['a refusal', enc.encode('{"refused": "at most one screenshot every 2 s"}'), 'refused', 'at most one screenshot every 2 s'],
        ['a refusal that is not text', enc.encode('{"refused": 5}'), 'unreadable', 'an answer that is neither a picture nor a refusal'],
        ['a deep refusal', enc.encode('{"refused": ' + '['.repeat(3000) + '}'), 'unreadable', 'an answer that is neither a picture nor a refusal'],
        ['another format', enc.encode('GIF89a'), 'unreadable', 'an answer that is neither a picture nor a refusal'],
        ['too large', png(480, 800, 2 * 1024 * 1024), 'unreadable', 'an answer too large to show (2097185 bytes)'],
    ];
    for (const [what, bytes, kind, text] of rows) {
        const got = Format.readAnswer(bytes);
        assert.equal(got.kind, kind, what);
        if (text)
            assert.equal(got.text, text, what);
    }
    assert.deepEqual(Format.pngSize(png(480, 800)), { width: 480, height: 800 });
    assert.deepEqual(Format.pngSize(png(0xfffffff0, 1)), { width: 0xfffffff0, height: 1 });
});

test('ages read differently only when their words change', () => {
    const minute = 60000, hour = 3600000, day = 86400000;
    const rows = [[0, '< 1 min ago', minute], [59999, '< 1 min ago', minute], [minute, '1 min ago', 2 * minute],
                  [59 * minute + 1, '59 min ago', hour], [hour, '1 h ago', 2 * hour], [47 * hour, '47 h ago', 48 * hour],
                  [2 * day + 5, '2 d ago', 3 * day]];
    for (const [ms, text, next] of rows)
        assert.deepEqual([Format.age(ms), Format.ageChanges(0, ms)], [text, next], String(ms));
});
