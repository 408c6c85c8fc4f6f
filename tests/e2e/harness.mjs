// What the browser tests share: the program started --headless under Wine on
// the prefix that ui_in_browser.sh seeded, headless Chromium showing its page,
// and waits and looks at the page. Each test file starts the program and the
// browser in its `before` and ends them in its `after`; the files run one at a
// time, since a second instance of the program would only say it is running.
import assert from "node:assert/strict";
import { spawn, execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { chromium } from "playwright-core";

export const env = process.env;
export const drive = path.join(env.QO_WINE_ROOT, "prefix", "drive_c");
export const temp = path.join(drive, "windows", "temp");
export const LONG = 180000;
const screenshots = path.join(env.QO_BUILD, "e2e", "screenshots");

// ---- Programs under Wine --------------------------------------------------------
const started = [];

// Runs a copy of build/bin/PROGRAM from the folder $QO_WORK/NAME; the child
// has `exited` (a Promise of the exit code), `line(n)` (a Promise of the
// line it prints n-th, from 0) and `firstLine` (line 0).
// Removes the program's data stores from the prefix (the machine's and every
// account's), so that a page's test starts from what it makes itself and not
// from what an earlier file's program left there. Only while no program runs.
export function removeStores() {
    fs.rmSync(path.join(drive, "ProgramData", "Quillmark", "Orvane"), { recursive: true, force: true });
    const users = path.join(drive, "users");
    for (const user of fs.readdirSync(users))
        fs.rmSync(path.join(users, user, "AppData", "Local", "Quillmark", "Orvane"), { recursive: true, force: true });
}

export function startProgram(name, program, args = []) {
    const folder = path.join(env.QO_WORK, name);
    fs.mkdirSync(folder, { recursive: true });
    fs.copyFileSync(path.join(env.QO_BUILD, "bin", program), path.join(folder, program));
    const child = spawn(path.join(env.QO_SOURCE, "scripts", "wine.sh"), [env.QO_WINE_ROOT, "./" + program, ...args],
        { cwd: folder, stdio: ["ignore", "pipe", "pipe"] });
    started.push(child);
    child.exited = new Promise((done) => child.on("exit", (code) => done(code)));
    const lines = [];
    let text = "";
    const printed = new Promise((_, fail) => child.on("exit", () => fail(new Error(`${program} ended before it printed that line`))));
    printed.catch(() => {});
    child.stdout.on("data", (chunk) => {
        text += chunk;
        const parts = text.split(/\r?\n/);
        text = parts.pop();
        lines.push(...parts);
        child.emit("lines");
    });
    child.line = (n) => Promise.race([printed, new Promise((done) => {
        const look = () => {
            if (lines.length <= n) return;
            child.off("lines", look);
            done(lines[n]);
        };
        child.on("lines", look);
        look();
    })]);
    child.firstLine = child.line(0);
    child.firstLine.catch(() => {});
    child.stderr.resume();
    return child;
}

// Ends what startProgram started and still runs, and waits for it.
export async function stopPrograms() {
    const running = started.filter((child) => child.exitCode === null && child.signalCode === null);
    for (const child of running) child.kill();
    await Promise.all(running.map((child) => within(child.exited, 30000, "end of a program").catch(() => {})));
    started.length = 0;
}

export function wine(...args) {
    return execFileSync(path.join(env.QO_SOURCE, "scripts", "wine.sh"), [env.QO_WINE_ROOT, ...args], { encoding: "utf8" });
}

// A wine command whose failure means only that there was nothing to remove.
export function quietly(...args) {
    try {
        wine(...args);
    } catch (absent) {
        // Nothing to remove.
    }
}

// The start type the service manager keeps for a service (Wine's sc has no
// qc; its service manager keeps the configuration in the registry).
export function serviceStartType(name) {
    const key = "HKLM\\System\\CurrentControlSet\\Services\\" + name;
    const match = /Start\s+REG_DWORD\s+0x([0-9a-f]+)/i.exec(wine("reg", "query", key, "/v", "Start"));
    return match ? parseInt(match[1], 16) : -1;
}

export function within(promise, milliseconds, what) {
    let timer;
    const late = new Promise((_, fail) => { timer = setTimeout(() => fail(new Error(`no ${what} within ${milliseconds} ms`)), milliseconds); });
    return Promise.race([promise, late]).finally(() => clearTimeout(timer));
}

// ---- The browser ---------------------------------------------------------------------
const BROWSER_ARGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync"];

// Headless Chromium with a fresh profile of its own (Playwright passes the
// folder as --user-data-dir), sized as the main window.
export function openBrowser(profile) {
    return chromium.launchPersistentContext(path.join(env.QO_WORK, profile), {
        executablePath: "/usr/bin/chromium",
        headless: true,
        viewport: { width: 842, height: 582 },
        args: BROWSER_ARGS,
    });
}

// Headless Chromium showing `address` in an app window (no tabs, sized by
// the page) of `width` x `height` on a screen of 1280 x 800; the browser and
// that window's page.
export async function openAppWindow(profile, address, width, height) {
    const browser = await chromium.launchPersistentContext(path.join(env.QO_WORK, profile), {
        executablePath: "/usr/bin/chromium",
        headless: true,
        viewport: null,
        args: [...BROWSER_ARGS, "--app=" + address, `--window-size=${width},${height}`, "--screen-info={0,0 1280x800}"],
    });
    const page = browser.pages()[0] || await browser.waitForEvent("page");
    page.on("pageerror", (error) => console.log("page error:", error.message));
    await page.waitForURL((url) => address.startsWith(url.origin + url.pathname));
    return { browser, page };
}

// A page of `browser` at `address` that reports the document's errors;
// `initScript` (a function) runs in the page before the document's scripts.
export async function openPage(browser, address, initScript) {
    const page = await browser.newPage();
    page.on("pageerror", (error) => console.log("page error:", error.message));
    page.on("console", (message) => message.type() === "error" && console.log("page console:", message.text()));
    if (initScript) await page.addInitScript(initScript);
    await page.goto(address);
    return page;
}

// Looks at the page that `currentPage()` answers (the tests open it in their
// `before`), or at a frame of it given as `where`.
export function lookAt(currentPage) {
    const page = () => currentPage();
    const expectShown = async (selector, timeout = 10000, where = page()) =>
        where.locator(selector).first().waitFor({ state: "visible", timeout });
    const expectHidden = async (selector, timeout = 10000, where = page()) =>
        where.locator(selector).first().waitFor({ state: "hidden", timeout });
    return {
        shown: (id) => page().locator("#" + id),
        // The windows the documents open inside the main page.
        detail: () => page().frameLocator("iframe[name='window_html']"),
        popup: () => page().frameLocator("iframe[name='PopupWindows_html']"),
        expectShown,
        expectHidden,
        text: async (selector, where = page()) => (await where.locator(selector).first().textContent()).trim(),
        async shoot(name) {
            fs.mkdirSync(screenshots, { recursive: true });
            await page().screenshot({ path: path.join(screenshots, name + ".png") });
        },
        expectNoOverflow: (frame = page()) => expectNoOverflow(frame),
    };
}

// Nothing of the main window reaches past 842 x 582, and no text is cut in a
// box that clips it.
async function expectNoOverflow(frame) {
    const problems = await frame.evaluate(() => {
        const found = [];
        const width = document.documentElement.clientWidth;
        const height = document.documentElement.clientHeight;
        for (const element of document.body.querySelectorAll("label, button, .status-title, .list-title, p, #HomeWarn")) {
            const box = element.getBoundingClientRect();
            if (box.width === 0 || element.closest("[style*='display: none'], [style*='display:none']")) continue;
            if (getComputedStyle(element).visibility === "hidden") continue;
            if (box.right > width + 1 || box.bottom > height + 1 && !element.closest(".scan-page, .path-list"))
                found.push(`${element.tagName}#${element.id} "${element.textContent.trim().slice(0, 30)}" at ${Math.round(box.right)},${Math.round(box.bottom)}`);
            const style = getComputedStyle(element);
            if ((style.overflow === "hidden" || style.textOverflow === "ellipsis") && element.scrollWidth > element.clientWidth + 1 &&
                element.matches("button, label, .status-title"))
                found.push(`${element.tagName}#${element.id} "${element.textContent.trim().slice(0, 30)}" is cut`);
        }
        return found;
    });
    assert.deepEqual(problems, []);
}

// ---- Accessibility --------------------------------------------------------------------
const AXE = fs.readFileSync(path.join(env.QO_BUILD, "e2e", "node_modules", "axe-core", "axe.min.js"), "utf8");

// The critical and serious violations axe-core finds in the document of
// `frame` (its windows' frames are documents of their own), each as
// "where: rule: element".
export async function axeViolations(frame, where) {
    if (!await frame.evaluate(() => typeof window.axe === "object")) await frame.evaluate(AXE);
    const violations = await frame.evaluate(async () => {
        const results = await window.axe.run(document, { iframes: false, resultTypes: ["violations"] });
        return results.violations.filter((rule) => rule.impact === "critical" || rule.impact === "serious")
            .flatMap((rule) => rule.nodes.map((node) => `${rule.id}: ${node.target.join(" ")} ${node.failureSummary.split("\n").slice(1, 2).join("").trim()}`));
    });
    return violations.map((text) => `${where}: ${text}`);
}

// Whether the element that has the keyboard focus, looked for through the
// windows' frames, matches `selector`; waitForFocus waits until it does.
const FOCUS_MATCHES = (wanted) => {
    let element = document.activeElement;
    while (element && element.tagName === "IFRAME" && element.contentDocument) element = element.contentDocument.activeElement;
    return !!element && element.matches(wanted);
};
export async function focusedMatches(page, selector) {
    return page.evaluate(FOCUS_MATCHES, selector);
}
export async function waitForFocus(page, selector) {
    await page.waitForFunction(FOCUS_MATCHES, selector, { timeout: 10000 });
}
