// One vehicle in full: every status member, the last self-test's values, the configuration as
// published, and a screenshot on request. Asks through the functions it is given; keeps no fleet state.
var Detail = (function () {
    'use strict';

    var PNG_SIGNATURE = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
    // Vehicles send at most 200 KB; a few times that is still a picture, more is not.
    var MAX_SCREENSHOT = 1024 * 1024;
    var MAX_CONFIG_CHARS = 16 * 1024;
    var ANSWER_TIMEOUT_MS = 10 * 1000;

    function isPng(bytes) {
        if (bytes.length < PNG_SIGNATURE.length)
            return false;
        for (var i = 0; i < PNG_SIGNATURE.length; ++i) {
            if (bytes[i] !== PNG_SIGNATURE[i])
                return false;
        }
        return true;
    }

    // What a screenshot answer means: a picture, a refusal with its reason, or nothing readable.
    function readAnswer(bytes) {
        if (bytes.length > MAX_SCREENSHOT)
            return { kind: 'unreadable', text: 'an answer too large to show (' + bytes.length + ' bytes)' };
        if (isPng(bytes))
            return { kind: 'png' };
        try {
            var json = JSON.parse(new TextDecoder('utf-8').decode(bytes));
            if (json && typeof json.refused === 'string')
                return { kind: 'refused', text: Fleet.cleanText(json.refused) };
        } catch (err) {
            // Falls through: neither a picture nor a refusal.
        }
        return { kind: 'unreadable', text: 'an answer that is neither a picture nor a refusal' };
    }

    function create(doc, store, clock, link) {
        var dialog = doc.getElementById('detail');
        var title = doc.getElementById('detail-title');
        var state = doc.getElementById('detail-state');
        var statusBody = doc.getElementById('detail-status');
        var unreadableNote = doc.getElementById('detail-unreadable');
        var testSummary = doc.getElementById('detail-test-summary');
        var testBody = doc.getElementById('detail-test');
        var config = doc.getElementById('detail-config');
        var shotButton = doc.getElementById('shot-button');
        var shotMessage = doc.getElementById('shot-message');
        var shotImage = doc.getElementById('shot-image');
        var rowTemplate = doc.getElementById('field-row-template');
        var current = null;
        var waiting = null;
        var imageUrl = null;

        function fillRows(body, rows, markNotOk) {
            var fragment = doc.createDocumentFragment();
            rows.forEach(function (row, index) {
                var tr = rowTemplate.content.firstElementChild.cloneNode(true);
                tr.cells[0].textContent = row[0];
                var value = row[1] === null ? '(not reported)' : row[1];
                if (markNotOk && markNotOk(index, row[1])) {
                    tr.classList.add('not-ok');
                    value = '\u2717 ' + value;
                }
                tr.cells[1].textContent = value;
                fragment.append(tr);
            });
            body.replaceChildren(fragment);
        }

        function draw() {
            var e = store.get(current);
            if (!e)
                return;
            var now = clock();
            var a = Fleet.assess(e, now);
            title.textContent = e.id;
            state.textContent = a.label + (a.troubles.length ? ' \u2014 ' + a.troubles.join(', ') : '');
            state.dataset.state = a.key;

            var rows = [['link', e.bridge === null ? '(not reported)' : e.bridge === '1' ? '1 (connected)' : '0 (lost)'],
                        ['last seen', e.lastSeen === null ? 'never' : new Date(e.lastSeen).toISOString() + ' (' + Tiles.age(now - e.lastSeen) + ')']];
            if (e.info)
                Fleet.flatten(e.info.raw).forEach(function (f) { rows.push(['info.' + f[0], f[1]]); });
            if (e.status)
                rows = rows.concat(Fleet.flatten(e.status.raw));
            fillRows(statusBody, rows);
            var bad = Object.keys(e.unreadable);
            unreadableNote.hidden = bad.length === 0;
            unreadableNote.textContent = bad.map(function (kind) {
                return 'The last ' + kind + ' message was ' + e.unreadable[kind] + '; the one before it is shown.';
            }).join(' ');

            var d = e.diagnostics;
            if (!d) {
                testSummary.textContent = 'No self-test published.';
                testBody.replaceChildren();
            } else {
                testSummary.textContent = (d.result === 'pass' ? '\u2713 Passed' : d.result === 'fail' ? '\u2717 Failed' : 'Result unknown')
                    + (d.time ? ', ' + d.time : '') + (d.timeMs !== null ? ' (' + Tiles.age(now - d.timeMs) + ')' : '');
                fillRows(testBody, d.values, function (index, value) {
                    return index >= Fleet.SELF_TEST_FACTS && index < 35 && value !== 'OK';
                });
            }
            var text = e.config ? JSON.stringify(e.config, null, 2) : 'No configuration published.';
            config.textContent = text.length > MAX_CONFIG_CHARS ? text.slice(0, MAX_CONFIG_CHARS) + '\n\u2026 (cut)' : text;
        }

        function clearImage() {
            if (imageUrl) {
                URL.revokeObjectURL(imageUrl);
                imageUrl = null;
            }
            shotImage.removeAttribute('src');
            shotImage.hidden = true;
        }

        function stopWaiting() {
            if (waiting) {
                clearTimeout(waiting.timer);
                waiting = null;
            }
            shotButton.disabled = false;
        }

        function requestShot() {
            if (!current || waiting)
                return;
            var id = current;
            shotButton.disabled = true;
            shotMessage.textContent = 'Asking ' + id + ' for its screen\u2026';
            waiting = { id: id, timer: setTimeout(function () {
                if (waiting && waiting.id === id) {
                    stopWaiting();
                    shotMessage.textContent = 'No answer from ' + id + ' within ' + ANSWER_TIMEOUT_MS / 1000 + ' s.';
                }
            }, ANSWER_TIMEOUT_MS) };
            link.askScreenshot(id, function (err) {
                if (err && waiting && waiting.id === id) {
                    stopWaiting();
                    shotMessage.textContent = 'Could not ask ' + id + ': ' + Fleet.cleanText(err.message || err);
                }
            });
        }

        function screenshot(id, bytes) {
            if (!waiting || waiting.id !== id || id !== current)
                return;
            stopWaiting();
            var answer = readAnswer(bytes);
            if (answer.kind === 'refused') {
                shotMessage.textContent = 'Refused by ' + id + ': ' + answer.text;
                return;
            }
            if (answer.kind === 'unreadable') {
                shotMessage.textContent = id + ' sent ' + answer.text + '.';
                return;
            }
            clearImage();
            imageUrl = URL.createObjectURL(new Blob([bytes], { type: 'image/png' }));
            var taken = new Date(clock()).toLocaleTimeString();
            shotImage.onload = function () {
                shotImage.hidden = false;
                shotImage.alt = 'Screen of ' + id + ' at ' + taken;
                shotMessage.textContent = 'Screen at ' + taken + ' (' + shotImage.naturalWidth + ' \u00d7 ' + shotImage.naturalHeight + ').';
            };
            shotImage.onerror = function () {
                clearImage();
                shotMessage.textContent = id + ' sent a picture that cannot be shown.';
            };
            shotImage.src = imageUrl;
        }

        function open(id) {
            if (current && current !== id)
                close();
            current = id;
            shotMessage.textContent = '';
            clearImage();
            draw();
            link.watchScreenshots(id, true);
            // Older programs publish their info and configuration only when asked: ask for what
            // is missing (a viewer may not ask; the broker then refuses, and nothing changes).
            var e = store.get(id);
            if (e && !e.info)
                link.ask(id, 'ui/info/get');
            if (e && !e.config)
                link.ask(id, 'ui/config/get');
            if (!dialog.open)
                dialog.showModal();
        }

        function close() {
            if (!current)
                return;
            link.watchScreenshots(current, false);
            stopWaiting();
            clearImage();
            current = null;
            if (dialog.open)
                dialog.close();
        }

        shotButton.addEventListener('click', requestShot);
        doc.getElementById('detail-close').addEventListener('click', close);
        dialog.addEventListener('close', close);

        return {
            open: open,
            close: close,
            screenshot: screenshot,
            changed: function (ids) {
                if (current && ids.has(current))
                    draw();
            },
            tick: function () {
                if (current)
                    draw();
            }
        };
    }

    return { create: create, isPng: isPng, readAnswer: readAnswer };
})();
