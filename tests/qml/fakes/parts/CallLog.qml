import QtQuick 2.15

// What a fake was asked to do, in order: calls are "name" or "name(arg, ...)" texts.
QtObject {
    property var calls: []

    function record(name, args) {
        const parts = []
        for (let i = 0; i < (args ? args.length : 0); ++i)
            parts.push(String(args[i]))
        calls = calls.concat([args && args.length ? name + "(" + parts.join(", ") + ")" : name])
    }
    function clear() {
        calls = []
    }
    function count(call) {
        return calls.filter(c => c === call).length
    }
}
