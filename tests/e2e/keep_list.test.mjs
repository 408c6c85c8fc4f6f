// The keep list as a user meets it: a temporary file kept from the junk
// page's detail window leaves the list, is not listed by the next scan, and
// stays through that category's clean; the undo window shows it on the keep
// list and takes it off again.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { temp, LONG, startProgram, stopPrograms, within, openBrowser, openPage, lookAt, wine, quietly, removeStores } from "./harness.mjs";

let browser;
let page;
const { detail, expectShown, expectHidden, text, shoot } = lookAt(() => page);
const seeded = path.join(temp, "qo-e2e-keep");
const KEPT = "kept.tmp";
const PLAIN = "plain.tmp";
// The temporary files' tile on the junk page.
const TILE = "#JunkScanLi2 > .postion-div:nth-child(1)";
// The organisation's policy key, which the test writes and removes.
const POLICY = "HKLM\\SOFTWARE\\Policies\\Quillmark";

before(async () => {
    removeStores();
    fs.rmSync(seeded, { recursive: true, force: true });
    const program = startProgram("keep", "QuillmarkOrvane.exe", ["--headless"]);
    const address = await within(program.firstLine, 60000, "page address");
    browser = await openBrowser("keep-profile");
    page = await openPage(browser, address);
    await expectHidden("#ReadyLoad", 10000);
});

after(async () => {
    quietly("reg", "delete", POLICY, "/f");
    if (browser) await browser.close();
    await stopPrograms();
    fs.rmSync(seeded, { recursive: true, force: true });
});

// Scans from the home page's tile, returning there first from a finished scan.
async function scanJunk() {
    if (await page.locator("#HomeScanEnd2").isVisible()) {
        await page.click("#endReturn_Home2");
        await expectShown("#AllHome");
    }
    await page.click("#Scanning_Home2");
    await expectShown("#HomeScanEnd2", LONG);
    await page.locator(`${TILE} .main-item`).click();
    await expectShown("#pathDL", 10000, detail());
}

// The detail window's rows naming `name`, on whichever page they are: the
// window is left on the page of the first one found, or on its last page.
async function rowsNaming(name) {
    const window = detail();
    for (;;) {
        const rows = window.locator("#pathDL dl", { hasText: name });
        if (await rows.count() > 0 || await window.locator("#NEXT").isDisabled()) return rows;
        await window.locator("#NEXT").click();
    }
}

test("a file kept from the detail window leaves the list and is not listed again", async () => {
    // The temporary files of the seed go first, so that the list is short.
    await scanJunk();
    const window = detail();
    await window.locator("#SingleClean").click();
    await expectShown("#CleanOK", LONG, window);
    await window.locator("#CleanOK").click();
    await expectHidden("iframe[name='window_html']");
    fs.mkdirSync(seeded, { recursive: true });
    fs.writeFileSync(path.join(seeded, KEPT), "k".repeat(1234));
    fs.writeFileSync(path.join(seeded, PLAIN), "p".repeat(100));

    await scanJunk();
    const count = () => text("#ErrorID", window).then((shown) => parseInt(shown, 10));
    const before = await count();
    const tileClick = () => page.locator(`${TILE} .main-item`).getAttribute("click");
    assert.match(await tileClick(), new RegExp(`^OpenErrorInfo\\(1,0,${before},`));
    const kept = await rowsNaming(KEPT);
    assert.equal(await kept.count(), 1);
    assert.match(await text("dt", kept), /^C:\\windows\\temp\\qo-e2e-keep\\kept\.tmp$/i);
    await shoot("keep-detail-window");
    await kept.locator(".keep-button").click();
    await expectHidden(`#pathDL dl:has-text("${KEPT}")`, 10000, window);
    assert.equal(await count(), before - 1);
    // The page's tile opens the shorter list from now on.
    assert.match(await tileClick(), new RegExp(`^OpenErrorInfo\\(1,0,${before - 1},`));
    await window.locator("#CloseDetail").click();
    await expectHidden("iframe[name='window_html']");

    await scanJunk();
    assert.equal(await (await rowsNaming(KEPT)).count(), 0);
    assert.equal(await (await rowsNaming(PLAIN)).count(), 1);
});

test("the category's clean leaves the kept file", async () => {
    const window = detail();
    await window.locator("#SingleClean").click();
    await expectShown("#CleanOK", LONG, window);
    await window.locator("#CleanOK").click();
    await expectHidden("iframe[name='window_html']");
    assert.ok(fs.existsSync(path.join(seeded, KEPT)));
    assert.ok(!fs.existsSync(path.join(seeded, PLAIN)));
    await page.click("#endReturn_Home2");
    await expectShown("#AllHome");
});

// The undo window opened from the menu, with its keep list of one row.
async function openKeepListOfOne() {
    await page.click("#MenuButton");
    await page.click("#UndoMenu");
    const undo = page.frameLocator("iframe[name='undo_html']");
    await expectShown("#KeepItems tr", 10000, undo);
    const rows = undo.locator("#KeepItems tr");
    assert.equal(await rows.count(), 1);
    return { undo, rows };
}

test("the undo window shows the keep list and takes an item off it", async () => {
    const { undo, rows } = await openKeepListOfOne();
    assert.match(await text(".KeepText", rows.first()), /^C:\\windows\\temp\\qo-e2e-keep\\kept\.tmp$/i);
    await expectHidden("#KeepEmpty", 10000, undo);
    await shoot("keep-list");
    await rows.first().locator("button").click();
    await expectShown("#KeepEmpty", 10000, undo);
    assert.equal(await undo.locator("#KeepItems tr").count(), 0);
    await undo.locator("#UndoFinish").click();
    await expectHidden("iframe[name='undo_html']");

    // Taken off the list, the file is junk again.
    await scanJunk();
    assert.equal(await (await rowsNaming(KEPT)).count(), 1);
    await detail().locator("#CloseDetail").click();
    await expectHidden("iframe[name='window_html']");
    await page.click("#endReturn_Home2");
    await expectShown("#AllHome");
});

test("the undo window shows the organisation's keep entry without a remove button", async () => {
    wine("reg", "add", `${POLICY}\\Orvane\\KeepList`, "/v", "Org", "/t", "REG_SZ", "/d", "C:\\QoOrgKept", "/f");
    try {
        const { undo, rows } = await openKeepListOfOne();
        assert.equal(await text(".KeepText", rows.first()), "C:\\QoOrgKept");
        assert.match(await text("td:nth-child(2)", rows.first()), /Managed by your organization/);
        assert.equal(await rows.first().locator("button").count(), 0);
        await expectHidden("#KeepEmpty", 10000, undo);
        await shoot("keep-list-policy");
        await undo.locator("#UndoFinish").click();
        await expectHidden("iframe[name='undo_html']");
    } finally {
        quietly("reg", "delete", POLICY, "/f");
    }
});
