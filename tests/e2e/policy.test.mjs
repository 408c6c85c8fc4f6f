// Categories the organisation's policy turns off, as a user of the window
// meets them: with DisabledCategories naming the temporary files, the junk
// page shows that tile turned off (no selection, the reason instead of a
// size), Scan All leaves it out too, and the native side refuses a clean that
// names it; the system-disk page with "disk" turned off offers no Release.
// Once the value is gone the tile is an ordinary one again.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { LONG, startProgram, stopPrograms, within, openBrowser, openPage, lookAt, wine, quietly, removeStores } from "./harness.mjs";

let browser;
let page;
const { popup, expectShown, expectHidden, text, shoot } = lookAt(() => page);
const POLICY = "HKLM\\SOFTWARE\\Policies\\Quillmark";
const TURNED_OFF = "Turned off by your organization";
// The temporary files' tile (category 0) and the recycle bin's (10) on the
// junk page and on the one-click page.
const tile = (list, category) => `#${list} > .postion-div:nth-child(${category + 1})`;

function turnOff(...words) {
    wine("reg", "add", `${POLICY}\\Orvane`, "/v", "DisabledCategories", "/t", "REG_MULTI_SZ", "/d", words.join("\\0"), "/f");
}

before(async () => {
    removeStores();
    quietly("reg", "delete", POLICY, "/f");
    const program = startProgram("policy", "QuillmarkOrvane.exe", ["--headless"]);
    const address = await within(program.firstLine, 60000, "page address");
    browser = await openBrowser("policy-profile");
    page = await openPage(browser, address);
    await expectHidden("#ReadyLoad", 10000);
});

after(async () => {
    quietly("reg", "delete", POLICY, "/f");
    if (browser) await browser.close();
    await stopPrograms();
});

// The tile's look: turned off or not, its text and its check box.
async function tileState(selector) {
    return page.locator(selector).evaluate((element) => ({
        turnedOff: element.classList.contains("turned-off"),
        text: element.querySelector(".FileNumb").textContent.trim(),
        checked: element.querySelector(".Checkbox1").getAttribute("aria-checked"),
        disabled: element.querySelector(".Checkbox1").getAttribute("aria-disabled"),
    }));
}

async function returnHome(button) {
    await page.click(button);
    await expectShown("#AllHome");
}

test("the junk page shows a turned-off category's tile disabled and the clean of it is refused", async () => {
    turnOff("junk.temp");
    await page.click("#Scanning_Home2");
    await expectShown("#HomeScanEnd2", LONG);
    const off = tile("JunkScanLi2", 0);
    assert.deepEqual(await tileState(off), { turnedOff: true, text: TURNED_OFF, checked: "false", disabled: "true" });
    const other = await tileState(tile("JunkScanLi2", 10));
    assert.equal(other.turnedOff, false);
    assert.equal(other.checked, "true");
    await shoot("policy-junk-page");

    // Neither its box (disabled; clicked anyway) nor "select all" selects it,
    // and its details do not open.
    await page.locator(`${off} .Checkbox1`).click({ force: true });
    await page.click("#SelectAll_Junk2");
    await page.click("#SelectAll_Junk2");
    assert.equal((await tileState(off)).checked, "false");
    assert.equal((await tileState(tile("JunkScanLi2", 10))).checked, "true");
    await page.locator(`${off} .main-item`).click({ force: true });
    assert.equal(await page.locator("iframe[name='window_html']").count(), 0);
    assert.ok(!(await page.evaluate(() => JSON.stringify(ListSelection("JunkScanLi2", 1)))).includes("[1,0]"));

    // Asked anyway, the native side refuses to clean it and cleans nothing.
    assert.equal(await page.evaluate(() => view.RepairChoose(SelectionText([[1, 0]]), 32)), -7);
    assert.equal(await page.evaluate(() => view.RepairChoose(SelectionText([[1, 10], [1, 0]]), 32)), -7);
    await returnHome("#endReturn_Home2");
});

test("Scan All leaves the turned-off category out", async () => {
    turnOff("junk.temp");
    await page.click("#Scanning_Home");
    await expectShown("#HomeScanEnd", LONG);
    assert.deepEqual(await tileState(tile("Junk_Scan", 0)), { turnedOff: true, text: TURNED_OFF, checked: "false", disabled: "true" });
    assert.equal((await tileState(tile("Junk_Scan", 10))).turnedOff, false);
    const selection = await page.evaluate(() => JSON.stringify(ListSelection("Junk_Scan", 1)));
    assert.ok(!selection.includes("[1,0]"), selection);
    await shoot("policy-scan-all");
    await returnHome("#endReturn_Home");
});

test("with \"disk\" turned off the system-disk page offers no Release", async () => {
    turnOff("disk");
    await page.click("#SystemDisk");
    await expectShown("#DiskStartScan");
    assert.equal(await text("#CleanSize"), TURNED_OFF);
    assert.equal(await page.locator("#DiskStartScan").isDisabled(), true);
    assert.equal(await page.evaluate(() => view.CleanSystemFile(SelectionText([[3, 0]]), 11)), -7);
    await shoot("policy-disk-page");
    // The page's download tree says so when the prefix's Downloads cannot be
    // listed (its popup opens inside the click, before the checks above).
    if (await page.locator("iframe[name='PopupWindows_html']").count() > 0) {
        await popup().locator("#OKendHome").click();
        await expectHidden("iframe[name='PopupWindows_html']");
    }
    await page.click("#RetHome");
    await expectShown("#AllHome");
});

test("without the policy value the tile is an ordinary one again", async () => {
    quietly("reg", "delete", POLICY, "/f");
    await page.click("#Scanning_Home2");
    await expectShown("#HomeScanEnd2", LONG);
    const state = await tileState(tile("JunkScanLi2", 0));
    assert.equal(state.turnedOff, false);
    assert.equal(state.checked, "true");
    assert.equal(state.disabled, null);
    assert.notEqual(state.text, TURNED_OFF);
    await returnHome("#endReturn_Home2");
});
