// The engine's `view` for the program's documents; include it before any
// other script of a document.
//
// view.Name(args...)  calls the native function Name and returns its result
//                     synchronously; a call that no native function takes
//                     (unknown name, or another number of arguments) throws a
//                     TypeError in the calling script.
// view.parent         the same object: a document opened by another reaches
//                     the same native functions.
// view.close()        in the main document, ends the program; elsewhere closes
//                     the document's own window.
//
// The native side's workers call global functions of the main document
// (function declarations at the top level of a script). They run one at a
// time, never while a native call of the document is in flight, and may make
// native calls themselves. The native side learns whether the function ran
// without throwing; its return value is not used.
"use strict";
(function () {
    // Values on the wire: plain JSON, with undefined and objects tagged.
    function encode(value) {
        if (value === null) return null;
        switch (typeof value) {
            case "boolean":
            case "string":
                return value;
            case "number":
                return Number.isFinite(value) ? value : null;
            case "object": {
                if (Array.isArray(value)) return value.map(encode);
                const members = {};
                for (const key of Object.keys(value)) members[key] = encode(value[key]);
                return { t: "map", v: members };
            }
            default:
                return { t: "undefined" };
        }
    }

    function decode(wire) {
        if (Array.isArray(wire)) return wire.map(decode);
        if (wire === null || typeof wire !== "object") return wire;
        if (wire.t !== "map") return undefined;
        const members = {};
        for (const key of Object.keys(wire.v)) members[key] = decode(wire.v[key]);
        return members;
    }

    function post(path, body) {
        const request = new XMLHttpRequest();
        request.open("POST", path, false);
        request.setRequestHeader("Content-Type", "application/json");
        request.send(body);
        return request;
    }

    function callNative(name, args) {
        const request = post("/call", JSON.stringify({ name: name, args: args.map(encode) }));
        if (request.status !== 200) throw new Error("view." + name + "(): the program did not answer (" + request.status + ")");
        const answer = JSON.parse(request.responseText);
        if (answer.length === 0)
            throw new TypeError("view." + name + "(): no native function " + name + " takes " + args.length + " argument(s)");
        return decode(answer[0]);
    }

    const isMainDocument = window.top === window && !window.opener;

    const services = {
        close() {
            if (isMainDocument) {
                try {
                    post("/close", "{}");
                } catch (ended) {
                    // The program may end before it answers.
                }
            }
            window.close();
        },
    };
    const view = new Proxy(services, {
        get(target, name) {
            if (typeof name !== "string") return undefined;
            if (name in target) return target[name];
            return (...args) => callNative(name, args);
        },
    });
    services.parent = view;
    Object.defineProperty(window, "view", { value: view });

    if (!isMainDocument) return;

    const waiting = [];
    let running = false;

    function acknowledge(id, returned) {
        fetch("/ack", {
            method: "POST",
            headers: { "Content-Type": "application/json" },
            body: JSON.stringify({ id: id, returned: returned }),
        }).catch(() => {});
    }

    function runCallbacks() {
        if (running) return;
        running = true;
        while (waiting.length > 0) {
            const callback = waiting.shift();
            const target = globalThis[callback.name];
            let returned = false;
            if (typeof target === "function") {
                try {
                    target(...callback.args.map(decode));
                    returned = true;
                } catch (error) {
                    console.error(error);
                }
            }
            acknowledge(callback.id, returned);
        }
        running = false;
    }

    // Once every script of the document has defined its functions.
    function listen() {
        const events = new EventSource("/events");
        events.onmessage = (event) => {
            waiting.push(JSON.parse(event.data));
            runCallbacks();
        };
    }
    if (document.readyState === "complete") listen();
    else window.addEventListener("load", listen);
})();
