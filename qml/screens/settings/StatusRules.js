.pragma library

// Colour of a status text on the maintenance pages, by name; StatusLabel maps the names to the
// theme's palette. Meaning must not rest on the colour alone: the text itself is always shown.

function validator(value) {
    if (value === "init" || value === "out-of-service" || value === "degraded")
        return "amber"
    if (value === "offline")
        return "red"
    return "green"
}

function network(title, value) {
    if (title === "Connection State" || title === "State")
        return value === "Connected" ? "green" : value === "Disconnected" ? "red" : "amber"
    if (title === "Connectivity")
        return value === "Full" ? "green" : (value === "Portal" || value === "Limited") ? "amber" : "red"
    return "plain"
}

function update(value) {
    if (value === "Disconnected")
        return "red"
    if (value === "Ready to install")
        return "green"
    if (value === "Downloading" || value === "Installing")
        return "amber"
    return "plain"
}

// Self-test results: empty is "not tested yet".
function diagnostics(value) {
    if (!value)
        return "grey"
    if (value === "OK")
        return "green"
    if (value.indexOf("ERROR") >= 0)
        return "red"
    return "amber"
}

function colourName(rule, title, value) {
    switch (rule) {
    case "validator": return validator(value)
    case "network": return network(title, value)
    case "update": return update(value)
    case "diagnostics": return diagnostics(value)
    }
    return "plain"
}
