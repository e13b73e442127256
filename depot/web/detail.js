// One vehicle in full: every status member, the last self-test's values, the configuration as
// published, and a screenshot on request. The worker sends what it reads while it is open; only
// rows that read differently are rewritten, so a selection in the view survives the vehicle's news.
var Detail = (function () {
    'use strict';

    var ANSWER_TIMEOUT_MS = 10 * 1000;

    function setText(node, text) {
        if (node.textContent !== text)
            node.textContent = text;
    }

    // link: { watch(id or null), screenshot(id) } to the worker.
    function create(doc, link) {
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

        // Row by row: a row that reads the same is left alone.
        function fillRows(body, rows) {
            rows.forEach(function (row, index) {
                var tr = body.rows[index];
                if (!tr) {
                    tr = rowTemplate.content.firstElementChild.cloneNode(true);
                    body.append(tr);
                }
                var bad = row[2] === true;
                setText(tr.cells[0], row[0]);
                setText(tr.cells[1], bad ? '\u2717 ' + row[1] : row[1]);
                if (tr.classList.contains('not-ok') !== bad)
                    tr.classList.toggle('not-ok', bad);
            });
            while (body.rows.length > rows.length)
                body.rows[body.rows.length - 1].remove();
        }

        function show(d) {
            setText(title, d.id);
            setText(state, d.state);
            if (state.dataset.style !== d.style)
                state.dataset.style = d.style;
            fillRows(statusBody, d.status);
            unreadableNote.hidden = d.unreadable === '';
            setText(unreadableNote, d.unreadable);
            setText(testSummary, d.testSummary);
            fillRows(testBody, d.test);
            setText(config, d.config);
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
            shotMessage.textContent = 'Asking ' + title.textContent + ' for its screen\u2026';
            waiting = { id: id, timer: setTimeout(function () {
                if (waiting && waiting.id === id) {
                    stopWaiting();
                    shotMessage.textContent = 'No answer from ' + title.textContent + ' within ' + ANSWER_TIMEOUT_MS / 1000 + ' s.';
                }
            }, ANSWER_TIMEOUT_MS) };
            link.screenshot(id);
        }

        // An answer the worker has read: a picture of the vehicle's screen size (its header
        // read there, nothing decoded), a refusal, or something not shown.
        function screenshot(m) {
            if (!waiting || waiting.id !== m.id || m.id !== current)
                return;
            stopWaiting();
            var name = title.textContent;
            if (m.kind === 'error') {
                shotMessage.textContent = 'Could not ask ' + name + ': ' + m.text;
                return;
            }
            if (m.kind === 'refused') {
                shotMessage.textContent = 'Refused by ' + name + ': ' + m.text;
                return;
            }
            if (m.kind !== 'png') {
                shotMessage.textContent = name + ' sent ' + m.text + '.';
                return;
            }
            clearImage();
            imageUrl = URL.createObjectURL(new Blob([m.bytes], { type: 'image/png' }));
            var taken = new Date().toLocaleTimeString();
            shotImage.onload = function () {
                shotImage.hidden = false;
                shotImage.alt = 'Screen of ' + name + ' at ' + taken;
                shotMessage.textContent = 'Screen at ' + taken + ' (' + shotImage.naturalWidth + ' \u00d7 ' + shotImage.naturalHeight + ').';
            };
            shotImage.onerror = function () {
                clearImage();
                shotMessage.textContent = name + ' sent a picture that cannot be shown.';
            };
            shotImage.src = imageUrl;
        }

        function open(id, name) {
            if (current && current !== id)
                close();
            current = id;
            shotMessage.textContent = '';
            clearImage();
            setText(title, name || id);
            link.watch(id);
            if (!dialog.open)
                dialog.showModal();
        }

        function close() {
            if (!current)
                return;
            link.watch(null);
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
            apply: function (d) {
                if (current !== null && d.key === current)
                    show(d);
            }
        };
    }

    return { create: create };
})();
