// Turning what vehicles send into what people read, with no document and no socket: bounded
// reading of outside data, plain text, ages and durations, screenshot answers, and the wait
// before reconnecting. Used by the fleet state in the page's worker, and tested under Node.
var Format = (function () {
    'use strict';

    var MAX_TEXT = 128;
    // A vehicle's messages nest two or three levels; deeper is not a vehicle's, and nothing
    // walks it (a 4,500-deep array once froze the page's client in a recursive walk).
    var MAX_DEPTH = 16;
    // The vehicle's screen: a screenshot of any other size is not one, and is never decoded.
    var SCREEN = { width: 480, height: 800 };
    var MAX_SCREENSHOT = 1024 * 1024;
    var PNG_SIGNATURE = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
    var RECONNECT_FIRST_MS = 1000;
    var RECONNECT_MAX_MS = 60 * 1000;

    // Control characters, the line and paragraph separators, and the bidirectional marks,
    // embeddings, overrides and isolates: a vehicle's text could otherwise turn the text around
    // it backwards ("bus-7 ok" shown for something else).
    var UNWANTED = /[\u0000-\u001f\u007f-\u009f\u061c\u200e\u200f\u2028\u2029\u202a-\u202e\u2066-\u2069]/g;

    // Plain, bounded, printable: unwanted characters become spaces, long texts are cut.
    function cleanText(value, max) {
        var limit = max || MAX_TEXT;
        var text = typeof value === 'string' ? value : JSON.stringify(value);
        if (text === undefined)
            text = String(value);
        if (text.length > 4 * limit)
            text = text.slice(0, 4 * limit);
        text = text.replace(UNWANTED, ' ');
        return text.length > limit ? text.slice(0, limit - 1) + '\u2026' : text;
    }

    // Whether JSON text nests no deeper than max, found without parsing it.
    function depthWithin(text, max) {
        var depth = 0;
        var inString = false;
        for (var i = 0; i < text.length; ++i) {
            var c = text.charCodeAt(i);
            if (inString) {
                if (c === 0x5c)
                    ++i;
                else if (c === 0x22)
                    inString = false;
            } else if (c === 0x22) {
                inString = true;
            } else if (c === 0x7b || c === 0x5b) {
                if (++depth > max)
                    return false;
            } else if (c === 0x7d || c === 0x5d) {
                --depth;
            }
        }
        return true;
    }

    // A JSON object from outside, or the reason it is not one: { value } or { error }.
    function readObject(text) {
        if (!depthWithin(text, MAX_DEPTH))
            return { error: 'nested deeper than ' + MAX_DEPTH + ' levels' };
        var json;
        try {
            json = JSON.parse(text);
        } catch (err) {
            return { error: 'not JSON' };
        }
        if (json === null || typeof json !== 'object' || Array.isArray(json))
            return { error: 'not a JSON object' };
        return { value: json };
    }

    function age(ms) {
        var s = Math.floor(Math.max(0, ms) / 1000);
        // Heartbeats come every 30 s: seconds would only make every tile's text tick.
        if (s < 60)
            return '< 1 min ago';
        if (s < 3600)
            return Math.floor(s / 60) + ' min ago';
        if (s < 172800)
            return Math.floor(s / 3600) + ' h ago';
        return Math.floor(s / 86400) + ' d ago';
    }

    // When a text written by age() for something that happened at `then` next reads differently.
    function ageChanges(then, now) {
        var ms = Math.max(0, now - then);
        var unit = ms < 3600e3 ? 60e3 : ms < 172800e3 ? 3600e3 : 86400e3;
        return then + (Math.floor(ms / unit) + 1) * unit;
    }

    function duration(sec) {
        var s = Math.floor(sec);
        if (s < 60)
            return s + ' s';
        if (s < 3600)
            return Math.floor(s / 60) + ' min';
        if (s < 86400)
            return Math.floor(s / 3600) + ' h ' + Math.floor((s % 3600) / 60) + ' min';
        return Math.floor(s / 86400) + ' d ' + Math.floor((s % 86400) / 3600) + ' h';
    }

    function ms(value) {
        return value === null ? '\u2014' : (value < 10 ? value.toFixed(1) : Math.round(value)) + ' ms';
    }

    function plural(n, one, many) {
        return n + ' ' + (n === 1 ? one : many);
    }

    // The wait before reconnect attempt n (0 first): doubling from 1 s up to a minute, and a
    // random part of up to half of it, so that the pages and tools cut off by a broker restart
    // do not all come back in the same second.
    function reconnectDelay(attempt, random) {
        var ceiling = Math.min(RECONNECT_MAX_MS, RECONNECT_FIRST_MS * Math.pow(2, Math.min(attempt, 16)));
        return Math.round(ceiling / 2 + random() * ceiling / 2);
    }

    // A PNG's width and height from its header, or null when it is not a PNG.
    function pngSize(bytes) {
        if (bytes.length < 24)
            return null;
        for (var i = 0; i < PNG_SIGNATURE.length; ++i) {
            if (bytes[i] !== PNG_SIGNATURE[i])
                return null;
        }
        // The first chunk is IHDR: its width and height, big-endian.
        if (String.fromCharCode(bytes[12], bytes[13], bytes[14], bytes[15]) !== 'IHDR')
            return null;
        var word = function (at) { return ((bytes[at] << 24) >>> 0) + (bytes[at + 1] << 16) + (bytes[at + 2] << 8) + bytes[at + 3]; };
        return { width: word(16), height: word(20) };
    }

    // What a screenshot answer is: the vehicle's screen as a PNG, a refusal with its reason, or
    // something not shown. Only the header is read: nothing is decoded here.
    function readAnswer(bytes) {
        if (bytes.length > MAX_SCREENSHOT)
            return { kind: 'unreadable', text: 'an answer too large to show (' + bytes.length + ' bytes)' };
        var size = pngSize(bytes);
        if (size) {
            if (size.width === SCREEN.width && size.height === SCREEN.height)
                return { kind: 'png', width: size.width, height: size.height };
            return { kind: 'unreadable', text: 'a picture of ' + size.width + ' \u00d7 ' + size.height
                     + ', not its ' + SCREEN.width + ' \u00d7 ' + SCREEN.height + ' screen' };
        }
        if (bytes.length <= 4096) {
            var read = readObject(new TextDecoder('utf-8').decode(bytes));
            if (read.value && typeof read.value.refused === 'string')
                return { kind: 'refused', text: cleanText(read.value.refused) };
        }
        return { kind: 'unreadable', text: 'an answer that is neither a picture nor a refusal' };
    }

    return {
        MAX_DEPTH: MAX_DEPTH,
        SCREEN: SCREEN,
        cleanText: cleanText,
        depthWithin: depthWithin,
        readObject: readObject,
        age: age,
        ageChanges: ageChanges,
        duration: duration,
        ms: ms,
        plural: plural,
        reconnectDelay: reconnectDelay,
        pngSize: pngSize,
        readAnswer: readAnswer
    };
})();

if (typeof module === 'object' && module.exports)
    module.exports = Format;
