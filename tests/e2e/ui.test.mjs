// The program as a user sees it: headless Chromium shows the page of the
// program started --headless under Wine, on the prefix that ui_in_browser.sh
// seeded; each flow runs once, end to end, on real results. The tests run in
// order and share the program and the page.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { spawn, execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { chromium } from "playwright-core";

const env = process.env;
const drive = path.join(env.QO_WINE_ROOT, "prefix", "drive_c");
const temp = path.join(drive, "windows", "temp");
const screenshots = path.join(env.QO_BUILD, "e2e", "screenshots");
const LONG = 180000;

// ---- Programs under Wine ------------------------------------------------------
const started = [];

// Runs a copy of build/bin/PROGRAM from a folder of its own; resolves the
// first line it prints.
function startProgram(name, program, args = []) {
    const folder = path.join(env.QO_WORK, name);
    fs.mkdirSync(folder, { recursive: true });
    fs.copyFileSync(path.join(env.QO_BUILD, "bin", program), path.join(folder, program));
    const child = spawn(path.join(env.QO_SOURCE, "scripts", "wine.sh"), [env.QO_WINE_ROOT, "./" + program, ...args],
        { cwd: folder, stdio: ["ignore", "pipe", "pipe"] });
    started.push(child);
    child.exited = new Promise((done) => child.on("exit", (code) => done(code)));
    child.firstLine = new Promise((done, fail) => {
        let text = "";
        child.stdout.on("data", (chunk) => {
            text += chunk;
            if (text.includes("\n")) done(text.split(/\r?\n/)[0]);
        });
        child.on("exit", () => fail(new Error(`${program} ended before it printed a line`)));
    });
    child.stderr.resume();
    return child;
}

function wine(...args) {
    return execFileSync(path.join(env.QO_SOURCE, "scripts", "wine.sh"), [env.QO_WINE_ROOT, ...args], { encoding: "utf8" });
}

function within(promise, milliseconds, what) {
    return Promise.race([promise, new Promise((_, fail) => setTimeout(() => fail(new Error(`no ${what} within ${milliseconds} ms`)), milliseconds))]);
}

// ---- The browser ---------------------------------------------------------------------
let browser;
let page;
let program;
let holder;

async function openPage(address) {
    const opened = await browser.newPage();
    await opened.goto(address);
    return opened;
}

async function shoot(name) {
    fs.mkdirSync(screenshots, { recursive: true });
    await page.screenshot({ path: path.join(screenshots, name + ".png") });
}

const shown = (id) => page.locator("#" + id);
const detail = () => page.frameLocator("iframe[name='window_html']");
const popup = () => page.frameLocator("iframe[name='PopupWindows_html']");

async function expectShown(selector, timeout = 10000, where = page) {
    await where.locator(selector).first().waitFor({ state: "visible", timeout });
}
async function expectHidden(selector, timeout = 10000, where = page) {
    await where.locator(selector).first().waitFor({ state: "hidden", timeout });
}
const text = async (selector, where = page) => (await where.locator(selector).first().textContent()).trim();

// Nothing of the main window reaches past 842 x 582, and no text is cut in a
// box that clips it.
async function expectNoOverflow(frame = page) {
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

before(async () => {
    const held = path.join(temp, "qo-e2e", "held.tmp");
    assert.ok(fs.existsSync(held), "the seed is missing");
    holder = startProgram("holder", "hold_open.exe", ["C:\\windows\\temp\\qo-e2e\\held.tmp", "C:\\qo-e2e-release"]);
    assert.equal(await within(holder.firstLine, 60000, "held file"), "held");
    program = startProgram("program", "QuillmarkOrvane.exe", ["--headless"]);
    const address = await within(program.firstLine, 60000, "page address");
    // A fresh profile: Playwright passes the folder as --user-data-dir.
    browser = await chromium.launchPersistentContext(path.join(env.QO_WORK, "profile"), {
        executablePath: "/usr/bin/chromium",
        headless: true,
        viewport: { width: 842, height: 582 },
        args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    });
    page = await browser.newPage();
    page.on("pageerror", (error) => console.log("page error:", error.message));
    await page.goto(address);
});

after(async () => {
    fs.writeFileSync(path.join(drive, "qo-e2e-release"), "");
    if (browser) await browser.close();
    for (const child of started) if (child.exitCode === null) child.kill();
});

// ---- The flows ------------------------------------------------------------------------
test("the loading screen gives way to the home tiles with the health display", async () => {
    await expectShown("#ReadyLoad", 2000);
    await expectHidden("#ReadyLoad", 10000);
    assert.equal(await text("#HomeWarn"), "You have not made an overall scanning!");
    assert.match(await shown("homeRow").getAttribute("class"), /blueYellow/);
    for (const id of ["Scanning_Home", "Scanning_Home2", "Scanning_Home3", "SystemDisk", "BootOptimize", "SystemService"])
        await expectShown("#" + id);
    assert.equal(await page.locator("title").textContent(), "Quillmark  Orvane ");
    // The update server cannot be reached from here: the check announces it.
    await expectShown("#Upgrade_UI", 60000);
    await expectNoOverflow();
    await shoot("home");
});
