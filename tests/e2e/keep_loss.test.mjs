// The program starts with its machine store's database damaged past reading: the page tells
// what came back of it and that the keep list was lost; a clean is refused
// with the same message until the user confirms it.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { env, drive, startProgram, stopPrograms, within, openBrowser, openPage, lookAt, removeStores } from "./harness.mjs";

let browser;
let page;
const { popup, expectShown, expectHidden, text, shoot } = lookAt(() => page);
const POPUP = "iframe[name='PopupWindows_html']";
const junkClean = () => page.evaluate(() => view.RepairChoose(SelectionText([[1, 0]]), 32));

before(async () => {
    removeStores();
    const folder = path.join(env.QO_WORK, "keep-loss");
    fs.rmSync(folder, { recursive: true, force: true });
    fs.mkdirSync(folder, { recursive: true });
    const store = path.join(drive, "ProgramData", "Quillmark", "Orvane");
    fs.mkdirSync(store, { recursive: true });
    fs.writeFileSync(path.join(store, "mydatabase.db"), "x".repeat(5000));
    const program = startProgram("keep-loss", "QuillmarkOrvane.exe", ["--headless"]);
    const address = await within(program.firstLine, 60000, "page address");
    browser = await openBrowser("keep-loss-profile");
    page = await openPage(browser, address);
    await expectHidden("#ReadyLoad", 10000);
});

after(async () => {
    if (browser) await browser.close();
    await stopPrograms();
});

test("the start tells the keep list's loss; cleaning waits for Confirm", async () => {
    await expectShown("#KeepLostUI", 10000, popup());
    const told = await text("#KeepLostText", popup());
    assert.match(told, /^The database couldn't be read\./);
    assert.match(told, /mydatabase\.unreadable-[0-9-]+\.db/);
    assert.match(told, /Kept items recovered: 0 \(some couldn't be read\)/);
    assert.match(told, /The list of kept items was lost with the damaged database, so nothing was deleted\./);
    // All of it in view, nothing to scroll to.
    const fits = await page.frame({ name: "PopupWindows_html" }).evaluate(() => {
        const notice = document.querySelector("#KeepLostText .keep-notice");
        return notice.scrollHeight <= notice.clientHeight + 1 && notice.getBoundingClientRect().top >= 0;
    });
    assert.ok(fits, "the notice is cut");
    await shoot("keep-list-lost");
    await popup().locator("#KeepLostCancel").click();
    await expectHidden(POPUP);

    // Cancelled, the loss stands: a clean is refused and says so again.
    assert.equal(await junkClean(), -5);
    await page.evaluate(() => StartRefusedWindow(-5));
    await expectShown("#KeepLostUI", 10000, popup());
    assert.doesNotMatch(await text("#KeepLostText", popup()), /couldn't be read\./);
    await popup().locator("#KeepLostConfirm").click();
    await expectHidden(POPUP);

    assert.deepEqual(await page.evaluate(() => view.GetKeepListNotice()), { recovery: null, lost: null });
    assert.equal(await junkClean(), 0);
});
