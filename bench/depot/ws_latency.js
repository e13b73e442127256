// How long a message takes from a vehicle's publish to a page's MQTT client over websockets,
// measured with the page's own client library (MQTT.js, from depot/node_modules) in Node.
// Run by bench/depot/bench_front.py, which starts the broker and the fronts; prints one JSON
// object.
//
//   node ws_latency.js '{"ws": "ws://127.0.0.1:PORT/", "protocols": ["binary"] or null,
//                        "mqtt": "mqtt://127.0.0.1:PORT", "user": ..., "password": ...,
//                        "viewer": ..., "viewerPassword": ..., "sizes": [16384, ...],
//                        "repeat": 5, "floodBytesPerSec": 65536, "floodSec": 15}'
//
// sizes: each payload size is sent "repeat" times, one after the other; the time of each is
// from publish to delivery. flood: one vehicle sends floodBytesPerSec as one message a second
// while another sends a small message every 200 ms; the delay of the small ones is what the
// page sees of the other vehicles' news while a large sender is busy.
'use strict';

const path = require('path');
const depot = path.join(__dirname, '..', '..', 'depot', 'node_modules');
const mqtt = require(path.join(depot, 'mqtt'));
const WebSocket = require(path.join(depot, 'ws'));

const opts = JSON.parse(process.argv[2]);
const now = () => Number(process.hrtime.bigint()) / 1e6;

function connect(url, user, password, extra) {
    return new Promise((resolve, reject) => {
        const client = mqtt.connect(url, Object.assign({
            username: user, password: password, protocolVersion: 5, reconnectPeriod: 0,
            connectTimeout: 20000, clientId: 'bench-' + Math.random().toString(16).slice(2, 10)
        }, extra || {}));
        client.once('connect', () => resolve(client));
        client.once('error', reject);
        client.once('close', () => reject(new Error('closed before connecting to ' + url)));
    });
}

function pageOptions() {
    // What the page passes when the front wants a subprotocol other than "mqtt".
    if (!opts.protocols)
        return {};
    return { createWebsocket: (url) => new WebSocket(url, opts.protocols) };
}

function stats(values) {
    const sorted = values.slice().sort((a, b) => a - b);
    const at = (q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
    return { n: sorted.length, p50: at(0.5), max: sorted[sorted.length - 1] };
}

async function main() {
    const page = await connect(opts.ws, opts.viewer, opts.viewerPassword, pageOptions());
    const vehicle = await connect(opts.mqtt, opts.user, opts.password);
    const other = await connect(opts.mqtt, opts.user, opts.password);
    let waiting = null;
    const smallDelays = [];
    page.on('message', (topic, payload) => {
        const arrived = now();
        if (topic.endsWith('/ui/status')) {
            smallDelays.push(arrived - Number(payload.toString()));
        } else if (waiting && payload.length === waiting.size) {
            const w = waiting;
            waiting = null;
            w.resolve(arrived - w.sent);
        }
    });
    await new Promise((resolve, reject) => page.subscribe(['fleet/+/ui/screenshot', 'fleet/+/ui/status'], { qos: 0 },
                                                           (err) => err ? reject(err) : resolve()));
    const result = { sizes: {} };
    for (const size of opts.sizes) {
        const times = [];
        for (let i = 0; i < opts.repeat; i++) {
            const payload = Buffer.alloc(size, 0x41 + i);
            times.push(await new Promise((resolve, reject) => {
                const timer = setTimeout(() => reject(new Error('no delivery of ' + size + ' bytes in 60 s')), 60000);
                waiting = { size: size, sent: now(), resolve: (ms) => { clearTimeout(timer); resolve(ms); } };
                vehicle.publish('fleet/bus-0001/ui/screenshot', payload, { qos: 0 });
            }));
        }
        result.sizes[size] = stats(times);
    }
    if (opts.floodSec > 0) {
        const big = Buffer.alloc(opts.floodBytesPerSec, 0x5a);
        const flood = setInterval(() => vehicle.publish('fleet/bus-0001/ui/screenshot', big, { qos: 0 }), 1000);
        let sent = 0;
        const news = setInterval(() => {
            sent++;
            other.publish('fleet/bus-0002/ui/status', String(now()), { qos: 0 });
        }, 200);
        await new Promise((resolve) => setTimeout(resolve, opts.floodSec * 1000));
        clearInterval(flood);
        clearInterval(news);
        // What is still on its way arrives, or counts as late by the time it took so far.
        const sentUntil = now();
        const expected = sent;
        const start = now();
        while (smallDelays.length < expected && now() - start < 30000)
            await new Promise((resolve) => setTimeout(resolve, 50));
        result.flood = stats(smallDelays);
        result.flood.expected = expected;
        result.flood.drainMs = now() - sentUntil;
    }
    console.log(JSON.stringify(result));
    page.end(true);
    vehicle.end(true);
    other.end(true);
}

main().catch((err) => {
    console.log(JSON.stringify({ error: String(err && err.message || err) }));
    process.exit(1);
});
