// Pages everyone can use: axe-core on every document and window of the
// program in English and Chinese; the main pages at 200% zoom; the one-click
// flow by keyboard alone (last: its clean removes what the others look at).
// In the ui prefix, on registry entries and temporary files of the test's own.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { temp, LONG, quietly, wine, startProgram, stopPrograms, within, openBrowser, openPage, lookAt, removeStores,
    axeViolations, focusedMatches, waitForFocus } from "./harness.mjs";

let browser;
let page;
const { popup, detail, expectShown, expectHidden, text } = lookAt(() => page);
const frameOf = (name) => page.frames().find((frame) => frame.url().includes(name));
// Two empty keys: "Invalid Software Information", the registry list's third tile.
const KEYS = ["HKCU\\Software\\QoE2eA11yFirst", "HKCU\\Software\\QoE2eA11ySecond"];
const SOFTWARE_TILE = "#Regedit_ScanLi > .postion-div:nth-child(3) > .main-item";
// The same tile on the registry page, and the junk page's "Temporary Files".
const REGISTRY_TILE = "#Regedit_ScanLi3 > .postion-div:nth-child(3) > .main-item";
const JUNK_TILE = "#JunkScanLi2 > .postion-div:nth-child(1) > .main-item";
const files = path.join(temp, "qo-a11y");
// A service whose change gives the service log a row.
const SERVICE = "QoE2eA11y";

function keyExists(key) {
    try {
        wine("reg", "query", key);
        return true;
    } catch (absent) {
        return false;
    }
}

function removeSeed() {
    for (const key of KEYS) quietly("reg", "delete", key, "/f");
    fs.rmSync(files, { recursive: true, force: true });
    quietly("sc", "delete", SERVICE);
}

before(async () => {
    removeStores();
    removeSeed();
    // The seed is made while the program runs: its Wine server then serves
    // every command, instead of each command starting one that may be ending.
    const program = startProgram("a11y", "QuillmarkOrvane.exe", ["--headless"]);
    const address = await within(program.firstLine, 60000, "page address");
    for (const key of KEYS) {
        wine("reg", "add", key, "/f");
        // Wine's reg gives a new key an empty default value: without it the key is empty.
        quietly("reg", "delete", key, "/ve", "/f");
    }
    fs.mkdirSync(files, { recursive: true });
    for (let i = 0; i < 3; ++i) fs.writeFileSync(path.join(files, `a11y${i}.tmp`), Buffer.alloc(1500));
    wine("sc", "create", SERVICE, "binPath=", "C:\\windows\\system32\\notepad.exe", "start=", "demand");
    browser = await openBrowser("a11y-profile");
    page = await openPage(browser, address);
    await expectHidden("#ReadyLoad", 10000);
    const switched = await page.evaluate((name) => {
        const entry = view.GetServersInfo().find((service) => service[1] === name);
        return view.SetSingleServerStatus(entry[4], 4);
    }, SERVICE);
    assert.equal(switched, true);
});

after(async () => {
    if (page) await page.evaluate(() => view.SetShowLanguage("en")).catch(() => {});
    if (browser) await browser.close();
    await stopPrograms();
    removeSeed();
    removeStores();
});

// Presses Tab until the focus is on an element that `selector` matches.
async function tabTo(selector, limit = 150) {
    for (let i = 0; i < limit; ++i) {
        await page.keyboard.press("Tab");
        if (await focusedMatches(page, selector)) return;
    }
    assert.fail(`Tab never reached ${selector}`);
}

// The system disk page; where the prefix's Downloads is a link no walk
// enters, the page says so in a Tips popup first, which `seen` looks at
// before it is closed.
async function enterDiskPage(seen) {
    await page.click("#SystemDisk");
    await expectShown("#DiskHome1");
    if (await page.locator("iframe[name='PopupWindows_html']").count() === 0) return;
    await expectShown("#ReminderHome", 10000, popup());
    await seen();
    await popup().locator("#CloseHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
}

// The detail window of a tile, and closing it.
async function openDetail(tile) {
    await page.click(tile);
    await expectShown("#pathDL dl", 10000, detail());
}

async function closeDetail() {
    await detail().locator("#CloseDetail").click();
    await expectHidden("iframe[name='window_html']");
}

async function showLanguage(language) {
    await page.evaluate((id) => view.SetShowLanguage(id), language);
    await page.reload();
    await expectHidden("#ReadyLoad", 10000);
    assert.equal(await page.evaluate(() => self.language), language);
}

// Shows each document and window the way a user opens it; axe-core runs on
// every one of them.
async function violationsIn(language) {
    const found = [];
    const check = async (where, frame = page) => found.push(...await axeViolations(frame, `${language} ${where}`));
    await check("home");
    await page.click("#MenuButton");
    await check("home with its menu");
    await page.click("#MenuButton");

    // The popups, each closed again by its close button.
    const popups = [
        ["tips", "ReminderHome", () => TipsWindow("Failed to retrieve disk data!")],
        ["exit question", "ExitUI", () => PopupWindowsTest("", 3, 302, 162, 0)],
        ["about", "AboutUI", () => ShowAbout()],
        ["upgrade", "UpgradeUI", () => ShowUpgrade()],
        ["recovery notice", "ReminderWindows", () => ShowKeepListNotice({ recovery: { aside: "C:\\ProgramData\\x.db", keepList: [2, true], startupKept: [0, true], undo: [1, false] } })],
        ["keep list lost", "KeepLostUI", () => ShowKeepListLost("")],
    ];
    for (const [name, section, open] of popups) {
        await page.evaluate(open);
        await expectShown("#" + section, 10000, popup());
        await check(name + " popup", frameOf("PopupWindows.html"));
        await popup().locator(`#${section} .close-button`).click();
        await expectHidden("iframe[name='PopupWindows_html']");
    }
    await page.evaluate(() => { MessageBox("Tips", "Restart the computer now?", E_ButtonID.BTN_YES | E_ButtonID.BTN_NO); });
    await expectShown("#button-bar button", 10000, page.frameLocator("iframe[name='msgbox_htm']"));
    await check("message box", frameOf("msgbox.htm"));
    await page.frameLocator("iframe[name='msgbox_htm']").locator("#no").click();
    await expectHidden("iframe[name='msgbox_htm']");
    await page.evaluate(() => { view.msgbox({ caption: "Tips", content: "The program is already running!", buttons: ["OK"] }); });
    await expectShown(".qo-msgbox button");
    await check("alert box");
    await page.click(".qo-msgbox button");

    // The junk page and the registry page as they scan and with their
    // results, and the detail window of a tile of each.
    for (const [kind, n, tile] of [["junk", "2", JUNK_TILE], ["registry", "3", REGISTRY_TILE]]) {
        await page.click("#Scanning_Home" + n);
        await expectShown(`#Scan_Course${n}, #HomeScanEnd${n}`);
        await check(kind + " page scanning");
        await expectShown("#HomeScanEnd" + n, LONG);
        await check(kind + " page");
        await openDetail(tile);
        await check(`detail window of ${kind} rows`, frameOf("window.html"));
        await closeDetail();
        await page.click("#RetHome");
    }

    await enterDiskPage(() => check("disk page's notice", frameOf("PopupWindows.html")));
    await check("system disk page");
    await page.click("#tab4_HomeDisk2");
    await expectShown("#DiskHome2");
    await check("downloads page");
    await page.click("#RetHome");
    await page.click("#BootOptimize");
    await expectShown("#BOOKoptimize");
    await check("startup page");
    await page.click("#RetHome");
    await page.click("#SystemService");
    await expectShown("#System_Service");
    await check("service page");
    await page.click("#ServiceLogPopup");
    await expectShown("#SevicerUI", 10000, page.frameLocator("iframe[name='SevicerLog_html']"));
    await check("service log", frameOf("SevicerLog.html"));
    await page.frameLocator("iframe[name='SevicerLog_html']").locator("#SevicerClose").click();
    await expectHidden("iframe[name='SevicerLog_html']");
    await page.click("#RetHome");
    await page.click("#MenuButton");
    await page.click("#UndoMenu");
    await expectShown("#UndoUI", 10000, page.frameLocator("iframe[name='undo_html']"));
    await check("undo window", frameOf("undo.html"));
    await page.frameLocator("iframe[name='undo_html']").locator("#UndoClose").click();
    await expectHidden("iframe[name='undo_html']");
    return found;
}

test("axe-core finds no critical or serious violation in any document or window, in English and in Chinese", async () => {
    const found = [];
    for (const language of ["en", "zh"]) {
        await showLanguage(language);
        found.push(...await violationsIn(language));
        assert.equal(await page.evaluate(() => document.documentElement.lang), language);
    }
    assert.deepEqual(found, []);
});

// What of the page's text a user cannot see: text cut by a box that clips
// it, and a page larger than the window that the window cannot scroll. Text
// inside a box that scrolls is judged by that box (it scrolls to it); text
// made for screen readers alone is left out.
async function hiddenText() {
    return page.evaluate(() => {
        const found = [];
        const root = getComputedStyle(document.documentElement);
        const viewport = root.overflowX === "visible" && root.overflowY === "visible" ? getComputedStyle(document.body) : root;
        const scroller = document.scrollingElement;
        if (scroller.scrollWidth > scroller.clientWidth + 1 && /hidden|clip/.test(viewport.overflowX)) found.push("the window does not scroll across");
        if (scroller.scrollHeight > scroller.clientHeight + 1 && /hidden|clip/.test(viewport.overflowY)) found.push("the window does not scroll down");
        const clips = (value) => /hidden|clip/.test(value);
        for (const element of document.body.querySelectorAll("*")) {
            const own = Array.from(element.childNodes).some((node) => node.nodeType === Node.TEXT_NODE && node.textContent.trim());
            if (!own || !element.checkVisibility({ checkOpacity: true, checkVisibilityCSS: true }) || element.closest(".visually-hidden")) continue;
            let box = element.getBoundingClientRect();
            if (box.width === 0 || box.height === 0) continue;
            const name = `${element.tagName}${element.id ? "#" + element.id : ""} "${element.textContent.trim().slice(0, 30)}"`;
            const style = getComputedStyle(element);
            if ((clips(style.overflowX) || style.textOverflow === "ellipsis") && element.scrollWidth > element.clientWidth + 1) found.push(name + " is cut");
            for (let outer = element.parentElement; outer && outer !== document.body; outer = outer.parentElement) {
                const outerStyle = getComputedStyle(outer);
                const outerBox = outer.getBoundingClientRect();
                if (/auto|scroll/.test(outerStyle.overflowX + outerStyle.overflowY)) {
                    box = outerBox;
                    continue;
                }
                if (clips(outerStyle.overflowX) && (box.left < outerBox.left - 1 || box.right > outerBox.right + 1) ||
                    clips(outerStyle.overflowY) && (box.top < outerBox.top - 1 || box.bottom > outerBox.bottom + 1)) {
                    found.push(`${name} is cut by ${outer.tagName}${outer.id ? "#" + outer.id : ""}.${outer.className}`);
                    break;
                }
            }
        }
        return found;
    });
}

// A window larger than the zoomed page: its layer scrolls to all of it.
async function windowOutOfReach() {
    await openDetail(REGISTRY_TILE);
    const found = await page.evaluate(() => {
        const layer = document.querySelector(".qo-window-layer");
        const style = getComputedStyle(layer);
        const box = layer.querySelector("iframe").getBoundingClientRect();
        const origin = layer.getBoundingClientRect();
        // Where the window lies in what the layer scrolls over.
        const left = box.left - origin.left + layer.scrollLeft;
        const top = box.top - origin.top + layer.scrollTop;
        const problems = [];
        if (layer.scrollWidth > layer.clientWidth + 1 && !/auto|scroll/.test(style.overflowX)) problems.push("its layer does not scroll across");
        if (layer.scrollHeight > layer.clientHeight + 1 && !/auto|scroll/.test(style.overflowY)) problems.push("its layer does not scroll down");
        if (left < -1 || top < -1) problems.push(`it starts above or left of what its layer scrolls to, at ${Math.round(left)},${Math.round(top)}`);
        return problems;
    });
    await closeDetail();
    return found;
}

test("at 200% zoom the main pages cut no text and the window scrolls to all of it", async () => {
    // Zoom doubles the size of a CSS pixel: the window of 842 x 582 shows
    // 421 x 291 of them.
    const size = page.viewportSize();
    await page.setViewportSize({ width: 421, height: 291 });
    try {
        const found = [];
        for (const language of ["en", "zh"]) {
            await showLanguage(language);
            const look = async (where) => found.push(...(await hiddenText()).map((problem) => `${language} ${where}: ${problem}`));
            await look("home");
            await enterDiskPage(async () => {});
            await look("system disk page");
            await page.click("#tab4_HomeDisk2");
            await expectShown("#DiskHome2");
            await look("downloads page");
            await page.click("#RetHome");
            for (const [tile, panel] of [["BootOptimize", "BOOKoptimize"], ["SystemService", "System_Service"], ["Scanning_Home3", "HomeScanEnd3"]]) {
                await page.click("#" + tile);
                await expectShown("#" + panel, LONG);
                await look(panel);
                if (panel === "HomeScanEnd3") found.push(...(await windowOutOfReach()).map((problem) => `${language} detail window: ${problem}`));
                await page.click("#RetHome");
            }
            // The scan runs to its end: a stopped one may still be finishing
            // when the next test starts Scan All, which it would refuse.
            await page.click("#Scanning_Home2");
            await expectShown("#HomeScanEnd2", LONG);
            await look("junk page");
            await page.click("#RetHome");
        }
        assert.deepEqual(found, []);
    } finally {
        await page.setViewportSize(size);
    }
});

test("by keyboard alone: Scan All, its results, a detail window, Keep, Escape back to the tile, Clean", async () => {
    await tabTo("#Scanning_Home");
    await page.keyboard.press("Enter");
    await expectShown("#HomeScanEnd", LONG);
    // Space on the check boxes: only the seeded keys' category stays
    // selected, so that the clean leaves what later tests look at.
    await tabTo("#SelectAll");
    await page.keyboard.press("Space");
    assert.equal(await page.locator("#SelectAll").getAttribute("aria-checked"), "false");
    assert.equal(await page.locator(`${SOFTWARE_TILE} + .Checkbox1`).getAttribute("aria-checked"), "false");
    await tabTo(`${SOFTWARE_TILE} + .Checkbox1`);
    await page.keyboard.press("Space");
    assert.equal(await page.locator(`${SOFTWARE_TILE} + .Checkbox1`).getAttribute("aria-checked"), "true");
    assert.equal(await page.locator("#SelectAll").getAttribute("aria-checked"), "mixed");
    await tabTo("#SelectAll_Junk");
    await page.keyboard.press("Space");
    assert.equal(await page.locator("#SelectAll_Junk").getAttribute("aria-checked"), "false");

    await tabTo(SOFTWARE_TILE);
    await page.keyboard.press("Enter");
    await expectShown("#pathDL dl", 10000, detail());
    const rows = detail().locator("#pathDL dl");
    const names = (await rows.locator("dt").allTextContents()).filter((name) => /QoE2eA11y/.test(name));
    assert.equal(names.length, 2);
    const before = await rows.count();
    // The focus went into the window; Tab reaches the row's Keep button.
    const kept = (await rows.locator("dt").allTextContents()).findIndex((name) => /QoE2eA11y/.test(name));
    await tabTo(`#pathDL dl:nth-child(${kept + 1}) .keep-button`);
    const keptName = await rows.nth(kept).locator("dt").textContent();
    await page.keyboard.press("Space");
    await rows.nth(before - 1).waitFor({ state: "detached", timeout: 10000 });
    await page.keyboard.press("Escape");
    await expectHidden("iframe[name='window_html']");
    // The focus comes back to the tile that opened the window.
    await waitForFocus(page, SOFTWARE_TILE);

    await tabTo("#HomeEnd_Clean");
    await page.keyboard.press("Enter");
    await expectShown("#Scan_CleanEnd", LONG);
    const keptKey = KEYS.find((key) => keptName.includes(key.split("\\").pop()));
    assert.ok(keptKey, `the kept row ${keptName} names a seeded key`);
    assert.equal(keyExists(keptKey), true, "the kept key stays");
    assert.equal(keyExists(KEYS.find((key) => key !== keptKey)), false, "the other key is cleaned");
    assert.equal(fs.readdirSync(files).length, 3, "the junk files were not selected");
    // Escape closes a popup too, and the focus comes back to its opener.
    await tabTo("#ReturnScan");
    await page.keyboard.press("Enter");
    await expectShown("#AllHome");
    await tabTo("#MenuButton");
    await page.keyboard.press("Enter");
    await tabTo("#AboutData");
    await page.keyboard.press("Enter");
    await expectShown("#AboutUI", 10000, popup());
    await page.keyboard.press("Escape");
    await expectHidden("iframe[name='PopupWindows_html']");
    // The focus comes back to the menu's button (its item closed the menu).
    await waitForFocus(page, "#MenuButton");
});
