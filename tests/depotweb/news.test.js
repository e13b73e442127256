// Whether the page's news is late, under Node's own test runner with a clock of its own.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const News = require('../../depot/web/news.js');
const facts = { heartbeatSec: 30 };
const T = 1796680000000;

test('a page that hears nothing while vehicles should report says so', () => {
    const news = News.create(facts);
    news.heard(T);
    assert.equal(news.report(T + 59000, true, T - 1000), '');
    assert.match(news.report(T + 61000, true, T - 1000), /^Nothing has come from the broker for 61 s, though vehicles report every 30 s/);
    // Nobody should be reporting (every link down): silence is expected.
    assert.equal(news.report(T + 600000, false, T - 1000), '');
    // Just reconnected: judged from the new connection.
    assert.equal(news.report(T + 61000, true, T + 30000), '');
});

test('news is late when even the freshest report of the fleet arrives late', () => {
    const news = News.create(facts);
    // One vehicle's clock is far behind: the others are on time, so the news is.
    news.status(T - 40000, T);
    news.status(T - 200, T + 100);
    assert.equal(news.report(T + 1000, true, T - 1000), '');
    // Every report arrives 20 s after it was sent: late, said in words.
    const late = News.create(facts);
    for (let i = 0; i < 50; ++i)
        late.status(T + i * 100 - 20000, T + i * 100);
    assert.match(late.report(T + 5000, true, T - 1000), /^News is late: the freshest vehicle report is 20 s old/);
    // Ten seconds of prompt reports later, it is on time again.
    for (let i = 0; i < 100; ++i)
        late.status(T + 10000 + i * 100 - 100, T + 10000 + i * 100);
    assert.equal(late.report(T + 20000, true, T - 1000), '');
});
