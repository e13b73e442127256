// The kinds of trouble a vehicle can be in, worst first: the one table the fleet state judges by,
// the tiles label and order by, and the stylesheet colours by (each `style` has its rules there,
// as `.tile[data-style="..."]`). `state` is what a tile is filtered and tested by; `trouble` is
// the words in its list of troubles. A vehicle takes the first kind that applies.
var Kinds = (function () {
    'use strict';

    var TABLE = [
        { id: 'linkLost', state: 'offline', label: 'Offline', symbol: '\u25cb', style: 'offline', trouble: 'link lost' },
        { id: 'silent', state: 'offline', label: 'Silent', symbol: '\u25cc', style: 'offline', trouble: 'no heartbeat' },
        { id: 'unreadable', state: 'unreadable', label: 'Unreadable', symbol: '?', style: 'bad', trouble: null },
        { id: 'stopped', state: 'outoforder', label: 'Out of order', symbol: '\u2715', style: 'bad', trouble: 'not in service' },
        { id: 'outOfOrder', state: 'outoforder', label: 'Out of order', symbol: '\u2715', style: 'bad', trouble: 'out of order' },
        { id: 'testFailed', state: 'selftest', label: 'Self-test failed', symbol: '\u2717', style: 'bad', trouble: 'self-test failed' },
        { id: 'slow', state: 'slow', label: 'Slow', symbol: '\u26a0', style: 'warn', trouble: 'slow results' },
        { id: 'waiting', state: 'unknown', label: 'Waiting', symbol: '\u2026', style: 'quiet', trouble: null },
        { id: 'online', state: 'online', label: 'Online', symbol: '\u25cf', style: 'ok', trouble: null }
    ];

    var byId = {};
    var order = 0;
    TABLE.forEach(function (kind, index) {
        // Kinds of one state share a place in the order: a silent vehicle is as offline as a lost link.
        if (index > 0 && TABLE[index - 1].state !== kind.state)
            ++order;
        kind.order = order;
        byId[kind.id] = kind;
        Object.freeze(kind);
    });

    return {
        table: Object.freeze(TABLE),
        get: function (id) { return byId[id]; },
        styles: function () {
            return TABLE.map(function (k) { return k.style; }).filter(function (s, i, all) { return all.indexOf(s) === i; });
        }
    };
})();

if (typeof module === 'object' && module.exports)
    module.exports = Kinds;
