// The program as a user sees it: headless Chromium shows the page of the
// program started --headless under Wine, on the prefix that ui_in_browser.sh
// seeded; each flow runs once, end to end, on real results. The tests run in
// order and share the program and the page.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { env, drive, temp, LONG, startProgram, stopPrograms, wine, within, openBrowser, openPage, lookAt } from "./harness.mjs";

let browser;
let page;
let program;
let holder;
const { shown, detail, popup, expectShown, expectHidden, text, shoot, expectNoOverflow } = lookAt(() => page);

// The program's gates (common/gate_point.h): a task waits at a closed gate
// until the test opens it, so that a test sees the task running.
const gates = path.join(drive, "qo-e2e-gates");
const closeGate = (name) => fs.writeFileSync(path.join(gates, name), "");
const openGate = (name) => fs.rmSync(path.join(gates, name), { force: true });

before(async () => {
    const held = path.join(temp, "qo-e2e", "held.tmp");
    assert.ok(fs.existsSync(held), "the seed is missing");
    fs.rmSync(gates, { recursive: true, force: true });
    fs.mkdirSync(gates);
    env.QO_GATE_FOLDER = "C:\\qo-e2e-gates";
    holder = startProgram("holder", "hold_open.exe", ["C:\\windows\\temp\\qo-e2e\\held.tmp", "C:\\qo-e2e-release"]);
    assert.equal(await within(holder.firstLine, 60000, "held file"), "held");
    program = startProgram("program", "QuillmarkOrvane.exe", ["--headless"]);
    const address = await within(program.firstLine, 60000, "page address");
    browser = await openBrowser("profile");
    // Whether the loading screen is up when the document is ready: by the
    // time the page has loaded (its images too) it may already have gone.
    page = await openPage(browser, address, () => {
        document.addEventListener("DOMContentLoaded", () => {
            const loading = document.getElementById("ReadyLoad");
            if (loading) window.loadingScreenAtReady = getComputedStyle(loading).display !== "none";
        });
    });
});

after(async () => {
    fs.rmSync(gates, { recursive: true, force: true });
    fs.writeFileSync(path.join(drive, "qo-e2e-release"), "");
    if (browser) await browser.close();
    await stopPrograms();
});

// ---- The flows ------------------------------------------------------------------------
test("the loading screen gives way to the home tiles with the health display", async () => {
    assert.equal(await page.evaluate(() => window.loadingScreenAtReady), true);
    await expectHidden("#ReadyLoad", 10000);
    assert.equal(await text("#HomeWarn"), "You haven't scanned this PC yet");
    assert.match(await shown("homeRow").getAttribute("class"), /blueYellow/);
    for (const id of ["Scanning_Home", "Scanning_Home2", "Scanning_Home3", "SystemDisk", "BootOptimize", "SystemService"])
        await expectShown("#" + id);
    assert.equal(await page.locator("title").textContent(), "Quillmark  Orvane ");
    // A folder chosen in the folder dialog comes as a file URL.
    assert.equal(await page.evaluate(() => URL.toPath("file:///D:/My%20Downloads/50%25")), "D:\\My Downloads\\50%");
    // Explorer shows only folders that exist.
    assert.equal(await page.evaluate(() => System.exec(["explorer.exe", "C:\\no\\such\\folder"])), false);
    // This build has no update server: no notice, and the version popup
    // says that no latest version is known rather than offering an empty one.
    assert.equal(await shown("Upgrade_UI").isVisible(), false);
    await page.click("#MenuButton");
    assert.equal(await shown("UpgradeImg").isVisible(), false);
    await page.click("#Upgrade_Home");
    await expectShown("#UpgradeUI", 10000, popup());
    assert.match(await text("#UpgradeSoftware", popup()), /^Couldn't check for updates\.\s*current version/);
    assert.doesNotMatch(await text("#UpgradeSoftware", popup()), /Latest version/);
    assert.equal(await page.evaluate(() => view.rootDisabled), true);
    await popup().locator("#UpgradeCancel").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    assert.equal(await page.evaluate(() => view.rootDisabled), false);
    await expectNoOverflow();
    await shoot("home");
});

test("every page is reached from the home tiles and Return comes back", async () => {
    for (const [tile, panel] of [["BootOptimize", "BOOKoptimize"], ["SystemService", "System_Service"]]) {
        await page.click("#" + tile);
        await expectShown("#" + panel);
        await expectShown("#RetHomeAll");
        await expectHidden("#AllHome");
        await page.click("#RetHome");
        await expectShown("#AllHome");
        await expectHidden("#" + panel);
        await expectHidden("#RetHomeAll");
    }
});

test("the junk page: Cancel stops the scan, and Clean without a selection is refused", async () => {
    // The scan waits before its first folder until Cancel has asked it to
    // stop (the page shows the stopped view once its call returned).
    closeGate("junk-walk");
    await page.click("#Scanning_Home2");
    await page.click("#back_Home2");
    await expectShown("#Scan_Stops2");
    openGate("junk-walk");
    await expectHidden("#Scan_Course2");
    // The stopped scan ends at the gate's folder.
    await page.waitForFunction(() => view.GetPopupZoneBit() === 0, null, { timeout: 60000 });
    // The first category never finished.
    assert.equal(await page.locator("#JunkScanLi2 > .postion-div").count(), 0);
    await page.click("#HomeStops_Clean2");
    await expectShown("#HomeTipsText", 10000, popup());
    assert.equal(await text("#HomeTipsText", popup()), "Nothing needs to be cleaned up.");
    assert.equal(await page.evaluate(() => view.rootDisabled), true);
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    assert.equal(await page.evaluate(() => view.rootDisabled), false);
    await page.click("#StosReturn_Home2");
    await expectShown("#AllHome");
    await expectHidden("#tabs2_Clean");
});

test("Scan All: progress, then the registry and junk tiles with their counters", async () => {
    closeGate("junk-walk");
    await page.click("#Scanning_Home");
    await expectShown("#Scan_Course");
    await expectHidden("#AllHome");
    await shoot("scan-in-progress");
    openGate("junk-walk");
    await expectShown("#HomeScanEnd", LONG);
    await expectHidden("#Scan_Course");
    assert.equal(await page.locator("#Regedit_ScanLi > .postion-div").count(), 7);
    assert.equal(await page.locator("#Junk_Scan > .postion-div").count(), 13);
    // Seeded: two MUI cache entries, two empty software keys, an empty file type.
    const registryCount = async (n) => parseInt(await text(`#Regedit_ScanLi > .postion-div:nth-child(${n + 1}) .FileNumb`), 10);
    assert.ok(await registryCount(1) >= 2);
    assert.ok(await registryCount(2) >= 2);
    assert.ok(await registryCount(6) >= 1);
    assert.match(await text("#Regedit_ScanLi > .postion-div:nth-child(2) .FileNumb"), /^\d+\s+entries$/);
    assert.equal(await text("#Regedit_ScanLi > .postion-div:nth-child(2) .center"), "Invalid MUI cache entries");
    assert.equal(await text("#Junk_Scan > .postion-div:nth-child(7) .FileNumb"), "6.00 KB");
    assert.equal(await text("#Junk_Scan > .postion-div:nth-child(7) .center"), "Windows prefetch files");
    const total = await page.evaluate(() => REGErrorNum.reduce((sum, n) => sum + n, 0));
    assert.equal(await text("#errorZ"), String(total));
    assert.equal(await text("#ItemNoS"), "items");
    const categories = await page.locator("#Regedit_ScanLi .item-mb:not(.clean-flase)").count();
    assert.equal(await text("#errorH"), String(categories));
    await expectNoOverflow();
    await shoot("results");
});

test("the detail window pages through the temporary files 50 at a time", async () => {
    await page.locator("#Junk_Scan > .postion-div").nth(0).locator(".main-item").click();
    await expectShown("#pathDL dl", 10000, detail());
    const count = await page.evaluate(() => pageErrorNum[0]);
    assert.ok(count > 100);
    assert.equal(await text("#PAGE", detail()), String(Math.floor((count + 49) / 50)));
    assert.equal(await text("#ItemName", detail()), "Temporary files");
    assert.equal(await text("#FileName", detail()), "Junk file cleanup");
    assert.equal(await text("#ErrorID", detail()), `${count}  items`);
    assert.equal(await detail().locator("#pathDL dl").count(), 50);
    assert.ok(await detail().locator("#PREV").isDisabled());
    assert.equal(await text("#pathDL dl:first-child .col-number", detail()), "1");
    await shoot("detail-window");
    await detail().locator("#NEXT").click();
    assert.equal(await text("#AtPresent", detail()), "2");
    assert.equal(await text("#pathDL dl:first-child .col-number", detail()), "51");
    assert.ok(!(await detail().locator("#PREV").isDisabled()));
    await detail().locator("#PREV").click();
    assert.equal(await text("#AtPresent", detail()), "1");
    assert.ok(await detail().locator("#PREV").isDisabled());
    // The full path of the file, its size, its folder.
    assert.match(await text("#pathDL dl dt", detail()), /^C:\\windows\\temp\\/i);
    // While it is open the main window opens no second one.
    assert.equal(await page.evaluate(() => { HomeModel.OpenErrorInfo(1, 0, 5, "5", 1); return document.querySelectorAll("iframe").length; }), 1);
    // A popup of the main window that closes meanwhile leaves it disabled: the detail window still holds it.
    await page.evaluate(() => TipsWindow("Opening folder failed!"));
    await expectShown("#HomeTipsText", 10000, popup());
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    assert.equal(await page.evaluate(() => view.rootDisabled), true);
    await expectShown("#pathDL dl", 10000, detail());
    await detail().locator("#CloseDetail").click();
    await expectHidden("iframe[name='window_html']");
    assert.equal(await page.evaluate(() => view.rootDisabled), false);
});

test("the one-click clean: a partial selection, refusals while it runs, Completed with the counters redrawn", async () => {
    // Keep the error reports: the select-all box then shows a partial selection.
    const keep = page.locator("#Junk_Scan > .postion-div").nth(12).locator(".Checkbox1");
    await keep.click();
    assert.equal(await keep.getAttribute("aria-checked"), "false");
    assert.match(await shown("SelectAll_Junk").getAttribute("style"), /checkbox_1\.png/);
    // The clean waits before its first category until the checks below are done.
    closeGate("clean-category");
    await page.click("#HomeEnd_Clean");
    await expectShown("#Scan_Clean");
    await expectHidden("#HomeScanEnd");

    // Exit while the clean runs asks first; Cancel keeps the program.
    await page.click("#ToSystemTray");
    await expectShown("#ExitUI", 10000, popup());
    assert.equal(await text("#ExitUI .popup-text", popup()), "Are you sure you want to exit?");
    await popup().locator("#ExitNo").click();
    await expectHidden("iframe[name='PopupWindows_html']");

    // A single category's clean waits for the running one.
    await page.locator("#Junk_Scan > .postion-div").nth(6).locator(".main-item").click();
    await expectShown("#pathDL dl", 10000, detail());
    assert.ok(await shown("Scan_Clean").isVisible());
    await detail().locator("#SingleClean").click();
    await expectShown("#HomeTipsText", 10000, popup());
    assert.equal(await text("#HomeTipsText", popup()), "Another task is running. Try again when it's finished.");
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    await detail().locator("#CloseDetail").click();
    await expectHidden("iframe[name='window_html']");

    openGate("clean-category");
    await expectShown("#Scan_CleanEnd", LONG);
    assert.equal(await text("#Scan_CleanEnd .finish-title"), "Cleanup complete");
    await expectHidden(".home-2_1");
    // The held file could not go: its row, with the count and size.
    await expectShown("#Li_NoDelete");
    assert.equal(await text("#no_deleteZ"), "1");
    assert.equal(await text("#JunkNoS0"), "item");
    assert.equal(await text("#no_deleteS"), "4.22 KB");
    assert.equal(await text("#NoFile"), "4.22 KB");
    assert.ok(fs.existsSync(path.join(temp, "qo-e2e", "held.tmp")));
    assert.ok(!fs.existsSync(path.join(temp, "qo-e2e", "page001.tmp")));
    assert.ok(fs.existsSync(path.join(drive, "ProgramData/Microsoft/Windows/WER/ReportQueue/qo-e2e/Report.wer")));
    // The lists drawn again from what is left: cleaned categories at zero.
    assert.equal(await page.locator("#Junk_Scan > .postion-div").count(), 13);
    assert.equal(await text("#Junk_Scan > .postion-div:nth-child(7) .FileNumb"), "0.00 B");
    assert.match(await page.locator("#Junk_Scan > .postion-div:nth-child(7) .item-mb").getAttribute("class"), /clean-flase/);
    assert.notEqual(await text("#Junk_Scan > .postion-div:nth-child(13) .FileNumb"), "0.00 B");
    assert.equal(await text("#errorZ"), "0");
    assert.equal(await text("#errorS1"), await text("#Junk_Scan > .postion-div:nth-child(13) .FileNumb"));

    // The files that failed to delete, in their detail window.
    await page.click("#NodeleteTab");
    await expectShown("#pathDL dl", 10000, detail());
    assert.equal(await text("#ItemName", detail()), "Files that couldn't be deleted");
    assert.match(await text("#pathDL dl dt", detail()), /held\.tmp$/);
    assert.ok(await detail().locator("#SingleClean").isDisabled());
    await detail().locator("#CloseDetail").click();
    await expectHidden("iframe[name='window_html']");
    await expectNoOverflow();
    await shoot("clean-completed");
});

test("OK returns to the home tiles with the new health verdict", async () => {
    await page.click("#ReturnScan");
    await expectShown("#AllHome");
    await expectHidden("#tabs1_Home");
    const verdict = await text("#HomeWarn");
    assert.match(verdict, /^PC health: (Excellent|Fair|Poor)$/);
    const expectedClass = { Excellent: "imgUrl", Fair: "blueGreen", Poor: "blueYellow" }[verdict.split(": ")[1]];
    assert.match(await shown("homeRow").getAttribute("class"), new RegExp(expectedClass));
    assert.match(await text("#HomeElapsed"), /^Time since last scan: \d+ minutes?$/);
});

test("the junk page: scan, check boxes drive the Clean buttons, clean, the undeletable row", async () => {
    await page.click("#Scanning_Home2");
    await expectShown("#HomeScanEnd2", LONG);
    assert.equal(await page.locator("#JunkScanLi2 > .postion-div").count(), 13);
    const tile = (n) => `#JunkScanLi2 > .postion-div:nth-child(${n + 1})`;
    assert.equal(await text(`${tile(12)} .center`), "Windows error reports");
    assert.equal(await text(`${tile(12)} .FileNumb`), "700.00 B");
    // Clearing every box greys and disables both Clean buttons; one box enables them.
    await page.click("#SelectAll_Junk2");
    assert.match(await shown("SelectAll_Junk2").getAttribute("style"), /uncheckbox\.png/);
    assert.ok(await shown("HomeEnd_Clean2").isDisabled());
    assert.ok(await shown("HomeStops_Clean2").isDisabled());
    assert.match(await page.locator("#HomeEnd_Clean2 label").getAttribute("class"), /clean-flase/);
    assert.equal(await text("#errorS2"), "0.00 B");
    await page.locator(`${tile(12)} .Checkbox1`).click();
    assert.ok(!(await shown("HomeEnd_Clean2").isDisabled()));
    assert.doesNotMatch(await page.locator("#HomeEnd_Clean2 label").getAttribute("class") || "", /clean-flase/);
    assert.match(await shown("SelectAll_Junk2").getAttribute("style"), /checkbox_1\.png/);
    assert.equal(await text("#errorS2"), "700.00 B");
    await page.click("#HomeEnd_Clean2");
    await expectShown("#Scan_CleanEnd2", LONG);
    await expectHidden("#li_Junk2");
    assert.ok(!fs.existsSync(path.join(drive, "ProgramData/Microsoft/Windows/WER/ReportQueue/qo-e2e/Report.wer")));
    await expectShown("#Li_NoDelete2");
    assert.equal(await text("#no_deleteZ2"), "1");
    assert.equal(await text("#no_deleteS2"), "4.22 KB");
    await page.click("#ReturnScan2");
    await expectShown("#AllHome");
    await expectHidden("#tabs2_Clean");
});

test("the registry page: scan, one entry shown as one item, clean with a backup", async () => {
    // An empty key: reg add gives it an empty default value, which goes again.
    wine("reg", "add", "HKCU\\Software\\QoE2eLater", "/f");
    wine("reg", "delete", "HKCU\\Software\\QoE2eLater", "/ve", "/f");
    await page.click("#Scanning_Home3");
    await expectShown("#HomeScanEnd3", LONG);
    assert.equal(await page.locator("#Regedit_ScanLi3 > .postion-div").count(), 7);
    const software = "#Regedit_ScanLi3 > .postion-div:nth-child(3)";
    assert.equal(await text(`${software} .center`), "Invalid app information");
    assert.match(await text(`${software} .FileNumb`), /^1\s+entry$/);
    assert.equal(await text("#errorZ3"), "1");
    assert.equal(await text("#ItemNoS3"), "item");
    // The category's own clean, from its detail window.
    await page.locator(`${software} .main-item`).click();
    await expectShown("#pathDL dl", 10000, detail());
    assert.equal(await text("#pathDL dl dt", detail()), "HKEY_CURRENT_USER\\Software\\QoE2eLater");
    assert.equal(await detail().locator(".dl-head > span").count(), 2);
    await detail().locator("#SingleClean").click();
    await expectShown("#CleanOK", LONG, detail());
    assert.equal(await text("#PopupTxet", detail()), "Cleanup complete.");
    assert.equal(await detail().locator("#pathDL dl").count(), 0);
    assert.ok(await detail().locator("#SingleClean").isDisabled());
    await detail().locator("#CleanOK").click();
    await expectHidden("iframe[name='window_html']");
    assert.throws(() => wine("reg", "query", "HKCU\\Software\\QoE2eLater"));
    assert.match(await text(`${software} .FileNumb`), /^0\s+entries$/);
    assert.match(await page.locator(`${software} .item-mb`).getAttribute("class"), /clean-flase/);
    // The page's clean then finds nothing left and completes.
    await page.click("#HomeEnd_Clean3");
    await expectShown("#Scan_CleanEnd3", LONG);
    // An HKEY_CURRENT_USER clean is backed up in the account's own store.
    const users = path.join(drive, "users");
    const backups = fs.readdirSync(users).flatMap((user) => {
        const folder = path.join(users, user, "AppData", "Local", "Quillmark", "Orvane", "Backups");
        return fs.existsSync(folder) ? fs.readdirSync(folder) : [];
    });
    assert.ok(backups.some((name) => name.endsWith(".reg")));
    await page.click("#ReturnScan3");
    await expectShown("#AllHome");
});

test("the message box answers the pressed button; Yes and No show No first", async () => {
    const answer = page.evaluate(() => MessageBox("Tips", "Restart the computer now?", E_ButtonID.BTN_YES | E_ButtonID.BTN_NO));
    const box = page.frameLocator("iframe[name='msgbox_htm']");
    await expectShown("#button-bar button", 10000, box);
    assert.deepEqual(await box.locator("#button-bar button").allTextContents(), ["No", "Yes"]);
    assert.equal(await text("#caption", box), "Quillmark Orvane");
    await box.locator("#yes").click();
    assert.equal(await answer, 4);
});

test("with the stored language zh every window speaks Chinese, the main window and the message boxes too", async () => {
    await page.evaluate(() => view.SetShowLanguage("zh"));
    await page.reload();
    await expectHidden("#ReadyLoad", 10000);
    assert.equal(await page.evaluate(() => self.language), "zh");
    // The main window: its root's language, its texts and its buttons' titles.
    assert.equal(await page.getAttribute("html", "lang"), "zh");
    assert.equal(await text("#HomeWarn"), "电脑健康状况：优秀");
    assert.equal(await text("#Scanning_Home"), "全面扫描");
    assert.equal(await text("#BootOptimize"), "启动应用");
    assert.equal(await text("#UndoMenu"), "撤销更改");
    assert.equal(await page.getAttribute("#MyMinimize", "title"), "最小化");
    await page.click("#BootOptimize");
    await expectShown("#BOOKoptimize");
    assert.deepEqual((await page.locator("#BOOKoptimize th").allTextContents()).map((t) => t.trim()).filter(Boolean),
        ["名称", "发布者", "状态", "启动类型"]);
    await page.click("#RetHome");
    await expectShown("#AllHome");
    await shoot("chinese-home");
    // The Tips popup the system disk page shows when its figures cannot be read.
    await page.evaluate(() => TipsWindow("Failed to retrieve disk data!"));
    await expectShown("#ReminderHome", 10000, popup());
    assert.equal(await text("#ReminderHome .popup-head label", popup()), "提示");
    assert.equal(await text("#HomeTipsText", popup()), "无法读取驱动器信息。");
    assert.equal(await text("#OKendHome", popup()), "确定");
    await expectNoOverflow();
    await shoot("chinese-popup");
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    await page.evaluate(() => HomeTipsWindow());
    assert.equal(await text("#HomeTipsText", popup()), "另一项任务正在运行。请在其完成后重试。");
    await popup().locator("#CloseHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    await page.click("#MenuButton");
    await page.click("#AboutData");
    await expectShown("#AboutUI", 10000, popup());
    assert.equal(await text("#AboutUI .popup-head label", popup()), "关于");
    assert.match(await text("#AboutSoftware", popup()), /版本/);
    await expectNoOverflow();
    await popup().locator("#AboutOK").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    // The message box: its caption, its text and its buttons.
    const answer = page.evaluate(() => MessageBox(DEF_TXT.TIP, RESTART_QUESTION, E_ButtonID.BTN_YES | E_ButtonID.BTN_NO));
    const box = page.frameLocator("iframe[name='msgbox_htm']");
    await expectShown("#button-bar button", 10000, box);
    assert.equal(await text("#caption", box), "提示");
    assert.equal(await text("#content", box), "更改已保存。是否立即重启电脑以应用这些更改？");
    assert.deepEqual(await box.locator("#button-bar button").allTextContents(), ["否", "是"]);
    await shoot("chinese-message-box");
    await box.locator("#no").click();
    assert.equal(await answer, 8);
    // The detail window too, with the file that failed to delete.
    await page.evaluate(() => OpenUndeletableDetails());
    await expectShown("#pathDL dl", 10000, detail());
    assert.equal(await text("#ItemName", detail()), "无法删除的文件");
    assert.equal(await text("#NEXT", detail()), "下一页");
    await expectNoOverflow(page.frames().find((frame) => frame.url().includes("window.html")));
    await shoot("chinese-detail-window");
    await detail().locator("#CloseDetail").click();
    await expectHidden("iframe[name='window_html']");
    await page.evaluate(() => view.SetShowLanguage("en"));
});

test("a second instance says the program is already running and ends", async () => {
    const second = startProgram("second", "QuillmarkOrvane.exe", ["--headless"]);
    const other = await openPage(browser, await within(second.firstLine, 60000, "second page address"));
    await other.locator(".qo-msgbox-content").waitFor({ timeout: 10000 });
    assert.equal(await other.locator(".qo-msgbox-caption").textContent(), "Quillmark Orvane");
    assert.equal(await other.locator(".qo-msgbox-content").textContent(), "Quillmark Orvane is already running.");
    // OK closes the view; the program answers that before it ends, so the
    // click returns whenever the program ends.
    await other.locator(".qo-msgbox button").click();
    assert.equal(await within(second.exited, 30000, "end of the second instance"), 0);
    await other.close();
});

test("Exit with nothing running closes the program without asking", async () => {
    // The page may close with the program before the click has seen its end.
    await page.click("#ToSystemTray").catch((error) => {
        if (!page.isClosed()) throw error;
    });
    assert.equal(await within(program.exited, 30000, "end of the program"), 0);
});
