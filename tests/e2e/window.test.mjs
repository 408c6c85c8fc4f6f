// The program's window as a user has it: the page in an app window that it
// sizes and centres itself, a stored language the documents have no table for
// shown in English, and minimise where the program cannot hide the browser
// window (it did not start it: headless here, the host's browser under Wine):
// the page closes, the program stays in the notification area, and the tray's
// "Show Window" opens the page again.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import path from "node:path";
import { env, startProgram, stopPrograms, wine, within, openAppWindow, openPage, lookAt } from "./harness.mjs";

const SETTINGS_KEY = "HKCU\\Software\\Quillmark\\Quillmark Orvane";
let browser;
let page;
let program;
let address;
const { popup, expectShown, expectHidden, text, shoot } = lookAt(() => page);
const ENGLISH_VERDICT = /^(You haven't scanned this PC yet|PC health: (Poor|Fair|Excellent))$/;

function forgetLanguage() {
    try {
        wine("reg", "delete", SETTINGS_KEY, "/v", "lang", "/f");
    } catch (absent) {
        // Nothing stored.
    }
}

before(async () => {
    wine("reg", "add", SETTINGS_KEY, "/v", "lang", "/t", "REG_SZ", "/d", "de", "/f");
    program = startProgram("window", "QuillmarkOrvane.exe", ["--headless"]);
    address = await within(program.firstLine, 60000, "page address");
    // An app window too small for the page.
    ({ browser, page } = await openAppWindow("window-profile", address, 700, 500));
});

after(async () => {
    if (browser) await browser.close();
    await stopPrograms();
    forgetLanguage();
});

test("the page gets 842 x 582 in its app window, centred on the screen's work area", async () => {
    await page.waitForFunction(() => innerWidth === 842 && innerHeight === 582, null, { timeout: 10000 });
    // Headless windows have no frame: the window is the page's box.
    assert.deepEqual(await page.evaluate(() => [outerWidth, outerHeight]), [842, 582]);
    await page.waitForFunction(() => screenX === (1280 - 842) / 2 && screenY === (800 - 582) / 2, null, { timeout: 10000 });
    assert.equal(await page.evaluate(() => document.documentElement.scrollHeight <= innerHeight), true);
    await expectHidden("#ReadyLoad", 10000);
    await shoot("app-window");
});

test("a stored language the documents do not have shows English, and the page stays usable", async () => {
    assert.equal(await page.evaluate(() => view.GetShowLanguage()), "en");
    assert.equal(await page.evaluate(() => self.language), "en");
    assert.match(await text("#HomeWarn"), ENGLISH_VERDICT);
    await page.click("#MenuButton");
    await page.click("#AboutData");
    await expectShown("#AboutUI", 10000, popup());
    assert.equal(await text("#AboutUI .popup-head label", popup()), "About");
    await popup().locator("#AboutOK").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    assert.equal(await page.evaluate(() => view.rootDisabled), false);
    // A window given such a language itself shows English too.
    await page.evaluate(() => { self.language = "de"; TipsWindow("Failed to retrieve disk data!"); });
    await expectShown("#ReminderHome", 10000, popup());
    assert.equal(await text("#ReminderHome .popup-head label", popup()), "Quillmark Orvane");
    assert.equal(await text("#HomeTipsText", popup()), "Couldn't read the drive's information.");
    assert.equal(await page.frames().find((frame) => frame.url().includes("PopupWindows.html")).evaluate(() => self.language), "en");
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    await page.evaluate(() => { self.language = "en"; });
    await page.click("#BootOptimize");
    await expectShown("#BOOKoptimize");
    await page.click("#RetHome");
    await expectShown("#AllHome");
});

test("minimise closes the page and keeps the program; the tray's Show Window opens the page again", async () => {
    const closed = page.waitForEvent("close");
    // The page closes itself in answer, at times before the click has seen
    // its own end: only a click on a page still open may fail.
    await page.click("#MyMinimize").catch((error) => {
        if (!page.isClosed()) throw error;
    });
    await within(closed, 10000, "page closing");
    // A page gone for 5 s ends the program, unless it went to the tray.
    const ended = await within(program.exited, 8000, "end of the program").catch(() => "running");
    assert.equal(ended, "running");
    wine(path.join(env.QO_BUILD, "bin", "tray_command.exe"), "show");
    // An address of its own: the first one's token is spent.
    const again = await within(program.line(1), 30000, "page address again");
    assert.equal(again.slice(0, again.indexOf("?")), address.slice(0, address.indexOf("?")));
    assert.notEqual(again, address);
    page = await openPage(browser, again);
    await expectHidden("#ReadyLoad", 10000);
    await expectShown("#AllHome");
    assert.match(await text("#HomeWarn"), ENGLISH_VERDICT);
});

test("a page closed otherwise still ends the program", async () => {
    await page.close();
    assert.equal(await within(program.exited, 30000, "end of the program"), 0);
});
