// The engine's `view` for the program's documents; include it before any
// other script of a document.
//
// view.Name(args...)  calls the native function Name and returns its result
//                     synchronously; a call that no native function takes
//                     (unknown name, or another number of arguments) throws a
//                     TypeError in the calling script.
// view.parent         the view of the window that opened this one (the same
//                     native functions).
// view.close(value)   in the main document, ends the program; in a window
//                     opened by view.window or view.dialog, closes it and
//                     hands `value` to its opener.
// view.window(def)    opens the document def.url as a modal window inside the
//                     main page: def.width, def.height (dip), def.parameters
//                     (read by the window as view.parameters; functions in it
//                     are called directly). Answers a handle with close().
// view.dialog(def)    the same, answering a Promise of the close value.
// view.msgbox(def)    the engine's alert box: def.caption, def.content,
//                     def.buttons (texts); a Promise of the pressed text.
// view.move(x, y, w, h), view.screenBox("workarea", "dimension"),
// view.windowState, view.windowResizable, view.rootDisabled
//                     window geometry and state; the main document's box is
//                     its browser window's content; the main window's state
//                     ("hidden", "minimized", "shown") goes to the browser
//                     window through the native side, and a window it cannot
//                     hide closes.
// view.selectFolder() the folder dialog: a file URL, or null when cancelled;
//                     URL.toPath(url) gives the folder's path.
// Sciter.launch(url)  opens an http(s) address in the default browser.
// System.exec(["explorer.exe", folder])  shows a folder in the file explorer.
// System.scanFiles(pattern, callback)  lists a folder ("C:\Dl/*.*"): calls
//                     callback(name, flags) for each entry ("." and ".."
//                     included), flags holding System.IS_DIR for a folder; a
//                     callback answering false ends the listing. Answers
//                     whether anything was listed.
//
// The native side's workers call global functions of the main document
// (function declarations at the top level of a script). They run one at a
// time, never while a native call of the document is in flight, and may make
// native calls themselves. The native side learns whether the function ran
// without throwing; its return value is not used.
"use strict";
(function () {
    // The address a document was opened with holds a one-time token (spent
    // by that load; the page goes on with its cookie): it leaves the address,
    // and so the address bar and a reload, at once.
    const opened = new URL(location.href);
    if (opened.searchParams.has("t")) {
        opened.searchParams.delete("t");
        history.replaceState(history.state, "", opened.pathname + opened.search + opened.hash);
    }

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

    // Services of the window itself (the browser window, the shell).
    function callService(name, args) {
        try {
            const request = post("/service", JSON.stringify({ name: name, args: args.map(encode) }));
            return request.status === 200 ? decode(JSON.parse(request.responseText)[0]) : false;
        } catch (gone) {
            return false;
        }
    }

    const frame = window.frameElement && window.frameElement.qoWindow ? window.frameElement : null;
    const isMainDocument = window.top === window && !window.opener;
    const top = frame ? window.top : window;

    // ---- Modal windows, kept in the main page -------------------------
    // Every window is a layer over the main page; the layers stack in the
    // order they were opened. A layer scrolls when its window is larger than
    // the page (a zoomed page). The keyboard focus goes into a window when it
    // has loaded and comes back to what had it in the opener when it closes.
    const FOCUSABLE = "button:not([disabled]), a[href], input:not([disabled]), select, textarea, [tabindex]:not([tabindex='-1'])";

    function focusFirst(within) {
        const first = Array.from(within.querySelectorAll(FOCUSABLE)).find((element) => element.getClientRects().length > 0);
        if (first) first.focus();
        return !!first;
    }

    // Focus given back to `element`, at once or, while its document still
    // holds its root disabled (a popup's hold ends after it closed), once
    // that hold has ended.
    function giveFocusBack(element) {
        if (!element || element === document.body || !element.isConnected) return;
        element.focus();
        if (document.activeElement === element) return;
        setTimeout(() => {
            if (element.isConnected) element.focus();
        }, 0);
    }

    function openLayer(def) {
        const hostDocument = top.document;
        const opener = document.activeElement;
        const layer = hostDocument.createElement("div");
        layer.className = "qo-window-layer";
        layer.style.cssText = "position:fixed;inset:0;z-index:" + (1000 + hostDocument.querySelectorAll(".qo-window-layer").length) +
            ";display:flex;overflow:auto;background:rgba(20,30,40,.28)";
        const box = hostDocument.createElement("iframe");
        box.className = "qo-window";
        box.setAttribute("name", String(def.url).replace(/[^A-Za-z0-9]+/g, "_"));
        box.style.cssText = "flex:none;margin:auto;border:0;background:#fff;box-shadow:0 10px 34px rgba(0,0,0,.35);border-radius:6px;overflow:hidden";
        box.style.width = (def.width || 400) + "px";
        box.style.height = (def.height || 300) + "px";
        box.addEventListener("load", () => {
            const loaded = box.contentDocument;
            if (!loaded) return;
            box.title = loaded.title;
            if (!focusFirst(loaded)) box.contentWindow.focus();
        });
        box.qoWindow = {
            parameters: def.parameters || {},
            parentView: view,
            closed: false,
            onClose: null,
        };
        box.qoWindow.close = function (value) {
            if (box.qoWindow.closed) return;
            box.qoWindow.closed = true;
            layer.remove();
            if (box.qoWindow.onClose) box.qoWindow.onClose(value);
            giveFocusBack(opener);
        };
        box.src = resolve(def.url);
        layer.appendChild(box);
        hostDocument.body.appendChild(layer);
        return box;
    }

    function resolve(url) {
        return new URL(url, document.baseURI).href;
    }

    function windowHandle(box) {
        return {
            get isOpen() {
                return !box.qoWindow.closed;
            },
            get document() {
                return box.contentDocument;
            },
            close(value) {
                box.qoWindow.close(value);
            },
        };
    }

    // The main document's window is the browser's: the page's box, width x
    // height at x, y of the work area, gets the browser's frame around it.
    // Browsers do this for app windows, not for tabs.
    function moveBrowserWindow(x, y, width, height) {
        if (width === undefined) return;
        const frameWidth = window.outerWidth - window.innerWidth;
        const frameHeight = window.outerHeight - window.innerHeight;
        window.resizeTo(width + frameWidth, height + frameHeight);
        window.moveTo((screen.availLeft || 0) + x - frameWidth / 2, (screen.availTop || 0) + y - frameHeight / 2);
    }

    // ---- The engine's alert box ----------------------------------------
    // Escape presses its button when it has only one.
    function msgbox(def) {
        return new Promise((done) => {
            const hostDocument = top.document;
            const opener = document.activeElement;
            const layer = hostDocument.createElement("div");
            layer.className = "qo-window-layer qo-msgbox";
            layer.style.cssText = "position:fixed;inset:0;z-index:5000;display:flex;overflow:auto;" +
                "background:rgba(20,30,40,.28);font:14px 'Segoe UI','Microsoft YaHei','DejaVu Sans','WenQuanYi Micro Hei',sans-serif";
            const box = hostDocument.createElement("div");
            box.setAttribute("role", "alertdialog");
            box.setAttribute("aria-modal", "true");
            box.setAttribute("aria-labelledby", "qo-msgbox-caption");
            box.setAttribute("aria-describedby", "qo-msgbox-content");
            box.style.cssText = "margin:auto;min-width:300px;max-width:420px;background:#fff;border-radius:6px;box-shadow:0 10px 34px rgba(0,0,0,.35);overflow:hidden";
            const caption = hostDocument.createElement("h1");
            caption.className = "qo-msgbox-caption";
            caption.id = "qo-msgbox-caption";
            caption.style.cssText = "margin:0;padding:10px 16px;background:#0c7f79;color:#fff;font-size:inherit;font-weight:600";
            caption.textContent = def.caption || "Tips";
            const content = hostDocument.createElement("div");
            content.className = "qo-msgbox-content";
            content.id = "qo-msgbox-content";
            content.style.cssText = "padding:22px 18px;color:#333";
            content.textContent = def.content || "";
            const bar = hostDocument.createElement("div");
            bar.style.cssText = "display:flex;justify-content:flex-end;gap:12px;padding:0 16px 14px";
            const buttons = (def.buttons || ["OK"]).map((text) => {
                const button = hostDocument.createElement("button");
                button.textContent = text;
                button.style.cssText = "min-width:80px;height:30px;border:0;border-radius:15px;background:#0c7f79;color:#fff;cursor:pointer";
                button.addEventListener("click", () => {
                    layer.remove();
                    giveFocusBack(opener);
                    done(text);
                });
                bar.appendChild(button);
                return button;
            });
            layer.addEventListener("keydown", (event) => {
                if (event.key !== "Escape" || buttons.length !== 1) return;
                event.preventDefault();
                buttons[0].click();
            });
            box.append(caption, content, bar);
            layer.appendChild(box);
            hostDocument.body.appendChild(layer);
            if (buttons.length) buttons[0].focus();
        });
    }

    // ---- The view -------------------------------------------------------
    let viewClosed = false;  // the main document ended the program
    let rootDisabled = false;
    let resizable = true;
    let windowState = "shown";
    const services = {
        get parameters() {
            return frame ? frame.qoWindow.parameters : {};
        },
        close(value) {
            if (frame) return frame.qoWindow.close(value);
            if (isMainDocument) {
                viewClosed = true;
                try {
                    post("/close", "{}");
                } catch (ended) {
                    // The program may end before it answers.
                }
            }
            window.close();
        },
        window(def) {
            return windowHandle(openLayer(def));
        },
        dialog(def) {
            return new Promise((done) => {
                const box = openLayer(def);
                box.qoWindow.onClose = done;
            });
        },
        msgbox: msgbox,
        move(x, y, width, height) {
            if (!frame) return moveBrowserWindow(x, y, width, height);
            if (width === undefined) return;
            frame.style.width = width + "px";
            frame.style.height = height + "px";
        },
        screenBox() {
            return frame ? [top.innerWidth, top.innerHeight] : [screen.availWidth, screen.availHeight];
        },
        get windowResizable() {
            return resizable;
        },
        set windowResizable(value) {
            resizable = !!value;
        },
        get windowState() {
            return windowState;
        },
        set windowState(state) {
            if (!frame) {
                windowState = state;
                // A browser window that the program did not start cannot be
                // hidden: the page closes instead, and the notification
                // area's "Show Window" opens it again.
                if (!callService("windowState", [String(state)]) && state === "hidden" && isMainDocument) window.close();
                return;
            }
            // A window inside the page is maximized over the whole page.
            if (state === "maximized" && windowState !== "maximized") {
                frame.qoWindow.normalSize = [frame.style.width, frame.style.height];
                frame.style.width = top.innerWidth + "px";
                frame.style.height = top.innerHeight + "px";
            } else if (state !== "maximized" && windowState === "maximized" && frame.qoWindow.normalSize) {
                frame.style.width = frame.qoWindow.normalSize[0];
                frame.style.height = frame.qoWindow.normalSize[1];
            }
            windowState = state;
        },
        // A disabled root takes no input: every part of the document but
        // the windows opened over it.
        get rootDisabled() {
            return rootDisabled;
        },
        set rootDisabled(value) {
            rootDisabled = !!value;
            document.documentElement.classList.toggle("disabled", rootDisabled);
            for (const part of document.body.children) {
                if (!part.classList.contains("qo-window-layer")) part.inert = rootDisabled;
            }
        },
        trayIcon() {
            // The notification-area icon is the native window's own.
            return true;
        },
        // The folder dialog: a file URL of the chosen folder, or null.
        selectFolder() {
            return callService("selectFolder", []) || null;
        },
    };
    const view = new Proxy(services, {
        get(target, name) {
            if (typeof name !== "string") return undefined;
            if (name in target) return target[name];
            if (name === "then") return undefined;
            return (...args) => callNative(name, args);
        },
        set(target, name, value) {
            if (!(name in target)) return false;
            target[name] = value;
            return true;
        },
    });
    Object.defineProperty(services, "parent", {
        get() {
            return frame ? frame.qoWindow.parentView : view;
        },
    });
    Object.defineProperty(window, "view", { value: view });
    Object.defineProperty(window, "Sciter", {
        value: Object.freeze({
            launch: (address) => callService("launch", [String(address)]),
        }),
    });
    // "file:///C:/Some%20Folder" -> "C:\\Some Folder"
    URL.toPath = (url) => decodeURIComponent(String(url).replace(/^file:\/\/\//i, "")).replace(/\//g, "\\");
    // The flags of a listed entry are its Windows file attributes.
    Object.defineProperty(window, "System", {
        value: Object.freeze({
            IS_RDONLY: 0x01,
            IS_HIDDEN: 0x02,
            IS_SYSTEM: 0x04,
            IS_DIR: 0x10,
            exec: (command) => Array.isArray(command) && /^explorer(\.exe)?$/i.test(command[0])
                ? callService("explore", [String(command[1] || "")])
                : false,
            scanFiles(pattern, callback) {
                const entries = callService("scanFiles", [String(pattern)]);
                if (!Array.isArray(entries)) return false;
                for (const [name, flags] of entries) {
                    if (callback(name, flags) === false) break;
                }
                return entries.length > 0;
            },
        }),
    });

    if (!isMainDocument) return;

    // ---- Worker callbacks -------------------------------------------------
    // They come over a WebSocket that only a page of the program's own origin
    // may open (it presents the page's cookie and its Origin), one page at a
    // time: another page is refused and tries again later. Each call is
    // answered once its function has run; calls sent again after a
    // reconnection are recognised and not run twice.
    const pageName = Array.from(crypto.getRandomValues(new Uint8Array(12)), (b) => b.toString(16).padStart(2, "0")).join("");
    const waiting = [];
    const waitingIds = new Set();
    const answered = new Map();  // the latest answers, by id
    let socket = null;
    let running = false;
    let leaving = false;
    let retry = 250;

    function answer(id, returned) {
        answered.delete(id);
        answered.set(id, returned);
        if (answered.size > 256) answered.delete(answered.keys().next().value);
        if (socket && socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify({ id: id, returned: returned }));
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
            waitingIds.delete(callback.id);
            answer(callback.id, returned);
        }
        running = false;
    }

    function receive(event) {
        for (const callback of JSON.parse(event.data)) {
            if (answered.has(callback.id)) answer(callback.id, answered.get(callback.id));
            else if (!waitingIds.has(callback.id)) {
                waitingIds.add(callback.id);
                waiting.push(callback);
            }
        }
        runCallbacks();
    }

    function connect() {
        if (leaving || viewClosed) return;
        socket = new WebSocket("ws://" + location.host + "/events?page=" + pageName);
        socket.onopen = () => { retry = 250; };
        socket.onmessage = receive;
        socket.onclose = () => {
            socket = null;
            if (leaving || viewClosed) return;
            setTimeout(connect, retry);
            retry = Math.min(retry * 2, 2000);
        };
    }
    window.addEventListener("pagehide", () => {
        leaving = true;
        if (socket) socket.close();
    });
    window.addEventListener("pageshow", (event) => {
        if (!event.persisted) return;
        leaving = false;
        connect();
    });

    // Once every script of the document has defined its functions.
    if (document.readyState === "complete") connect();
    else window.addEventListener("load", connect);
})();
