// Whether the page's news is on time. Two signs that it is not, both seen from the page alone:
// the freshest live status of the last ten seconds carries a time well before now (the broker
// or the path to it is holding messages back, or dropping them at its limit), or nothing at all
// has come while vehicles should be sending heartbeats.
var News = (function () {
    'use strict';

    var SPAN_MS = 5000;
    // Later than this, the page says so. Vehicles' clocks differ a little: the freshest report
    // of the whole fleet is judged, so one vehicle's slow clock cannot raise it.
    var LATE_MS = 5000;

    function create(facts) {
        var lastHeard = null;
        // The smallest delay seen in each of the last two spans of time.
        var spans = [];

        return {
            // Any message at all.
            heard: function (now) {
                lastHeard = now;
            },
            // A live status sent at `sent` (the vehicle's clock) and received at now.
            status: function (sent, now) {
                var span = Math.floor(now / SPAN_MS);
                var delay = Math.max(0, now - sent);
                if (spans.length && spans[spans.length - 1].span === span)
                    spans[spans.length - 1].min = Math.min(spans[spans.length - 1].min, delay);
                else
                    spans.push({ span: span, min: delay });
                while (spans.length && spans[0].span < span - 1)
                    spans.shift();
            },
            // What to tell the people on duty, or '' when the news is on time. expectsNews:
            // whether any vehicle should be sending heartbeats; since: when the connection began.
            report: function (now, expectsNews, since) {
                var quietFor = now - Math.max(lastHeard === null ? since : lastHeard, since);
                if (expectsNews && quietFor > 2 * facts.heartbeatSec * 1000) {
                    return 'Nothing has come from the broker for ' + Math.round(quietFor / 1000)
                        + ' s, though vehicles report every ' + facts.heartbeatSec + ' s: the tiles may be out of date.';
                }
                var current = Math.floor(now / SPAN_MS);
                var freshest = Infinity;
                spans.forEach(function (s) {
                    if (s.span >= current - 1)
                        freshest = Math.min(freshest, s.min);
                });
                if (freshest !== Infinity && freshest > LATE_MS) {
                    return 'News is late: the freshest vehicle report is ' + Math.round(freshest / 1000)
                        + ' s old when it arrives (the broker may be holding back or dropping messages for this page).';
                }
                return '';
            }
        };
    }

    return { LATE_MS: LATE_MS, create: create };
})();

if (typeof module === 'object' && module.exports)
    module.exports = News;
