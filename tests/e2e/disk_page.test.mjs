// The system disk page as a user sees it: the drive's figures and "Release",
// then the download folder as a tree and moves of what is selected to a
// drive D: of the prefix. Runs after ui.test.mjs on the same prefix (Release
// deletes temporary files). The folder dialog cannot be driven headless: the
// tests replace view.selectFolder by one answering the file URL the dialog
// would give. The restart after a move is never requested: the call is
// answered by the test.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { env, startProgram, stopPrograms, wine, within, openBrowser, openPage, lookAt } from "./harness.mjs";

let browser;
let page;
let downloads;
let downloadsFolder;
const { shown, popup, expectShown, expectHidden, text, shoot, expectNoOverflow } = lookAt(() => page);
const box = () => page.frameLocator("iframe[name='msgbox_htm']");

// Drive D: of the prefix, a folder of the Wine root.
const driveD = path.join(env.QO_WINE_ROOT, "drive_d");
const driveLink = path.join(env.QO_WINE_ROOT, "prefix", "dosdevices", "d:");

// The download-folder settings that a move rewrites, restored afterwards.
const SHELL_FOLDERS = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const DOWNLOAD_VALUES = ["{374DE290-123F-4565-9164-39C4925E467B}", "{7D83EE9B-2244-4E70-B1F5-5393042AF1E4}"];
let savedSettings = [];

function readSetting(name) {
    try {
        const match = wine("reg", "query", SHELL_FOLDERS, "/v", name).match(/(REG_\w+)\s+(.*?)\r?$/m);
        return match ? { name, type: match[1], data: match[2] } : { name };
    } catch (missing) {
        return { name };
    }
}

function restoreSetting(saved) {
    const now = readSetting(saved.name);
    if (now.type === saved.type && now.data === saved.data) return;
    if (saved.type) wine("reg", "add", SHELL_FOLDERS, "/v", saved.name, "/t", saved.type, "/d", saved.data, "/f");
    else wine("reg", "delete", SHELL_FOLDERS, "/v", saved.name, "/f");
}

const oldTemporaryFile = path.join(env.QO_WINE_ROOT, "prefix", "drive_c", "windows", "temp", "qo-disk-release.tmp");

// [relative path, size]
const SEED = [["setup.exe", 3000], ["readme.txt", 1000], ["photos/a.jpg", 2048], ["photos/b.jpg", 1024], ["docs/c.pdf", 500]];

function writeFile(file, size) {
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, Buffer.alloc(size, 0x61));
}

before(async () => {
    fs.rmSync(driveD, { recursive: true, force: true });
    fs.mkdirSync(driveD);
    fs.rmSync(driveLink, { force: true });
    fs.symlinkSync(driveD, driveLink);
    savedSettings = DOWNLOAD_VALUES.map(readSetting);
    // A temporary file from before Windows started, which the scan counts.
    writeFile(oldTemporaryFile, 5000);
    fs.utimesSync(oldTemporaryFile, new Date(2020, 0, 1), new Date(2020, 0, 1));
    // What the latest clean freed, as an earlier clean stored it.
    wine("reg", "add", "HKCU\\Software\\Quillmark\\Quillmark Orvane\\OneClick Cleaner", "/v", "DiskCleanRubbishSize",
        "/t", "REG_DWORD", "/d", "2048", "/f");

    const program = startProgram("disk", "QuillmarkOrvane.exe", ["--headless"]);
    const address = await within(program.firstLine, 60000, "page address");
    browser = await openBrowser("disk-profile");
    page = await openPage(browser, address);
    await expectHidden("#ReadyLoad", 10000);

    // The prefix's Downloads may be a Linux link, which no walk enters, to
    // the Linux home, where Documents and Desktop may lead too (the page then
    // leaves it out): it becomes a real folder, seeded with files and two
    // folders, before the page reads it.
    downloadsFolder = wine("winepath", "-u", wine("cmd", "/c", "echo %USERPROFILE%").trim() + "\\Downloads").trim();
    if (fs.lstatSync(downloadsFolder, { throwIfNoEntry: false })?.isSymbolicLink()) fs.unlinkSync(downloadsFolder);
    fs.rmSync(downloadsFolder, { recursive: true, force: true });
    for (const [name, size] of SEED) writeFile(path.join(downloadsFolder, name), size);
    [downloads] = await page.evaluate(() => DownloadFoldersOf(view.GetDownloadDir()));
    assert.match(downloads, /^C:\\users\\[^\\]+\\Downloads$/i);
});

after(async () => {
    if (browser) await browser.close();
    await stopPrograms();
    for (const setting of savedSettings) restoreSetting(setting);
    fs.rmSync(driveLink, { force: true });
});

// The options of the tree: caption, kind, mark, size text.
async function treeOptions() {
    return page.$$eval("#DiskScanFile .tree-option", (options) => options.map((option) => ({
        name: option.querySelector(".tree-name").textContent,
        level: option.getAttribute("aria-level"),
        kind: option.getAttribute("value"),
        checked: option.getAttribute("aria-checked"),
        size: option.querySelector(".tree-size").textContent,
    })));
}

// The first download folder's own row, and an entry's.
const rootRow = () => page.locator("#DiskScanFile > .tree-option > .tree-row").first();
const entry = (name) => page.locator(`#DiskScanFile .tree-option[filename$="/${name}"]`);

// Picks the target the way the folder dialog would answer it.
async function chooseTarget(url) {
    await page.evaluate((answer) => { view.selectFolder = () => answer; }, url);
    await page.click("#SelectPath");
}

async function closeTips(expected) {
    await expectShown("#HomeTipsText", 10000, popup());
    assert.equal(await text("#HomeTipsText", popup()), expected);
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
}

async function enterDiskPage() {
    if (await shown("RetHomeAll").isVisible()) await page.click("#RetHome");
    await page.click("#SystemDisk");
    await expectShown("#tabs4_Disk");
}

async function moveAndWait() {
    await page.click("#Disk4Move");
    await page.waitForFunction(() => document.querySelector(".disk-postion").textContent === "100%", null, { timeout: 60000 });
    assert.equal(await page.locator("#ProgressID_Copy").evaluate((bar) => bar.value), 100);
}

const downloadsFile = (name) => path.join(downloadsFolder, name);
const onD = (name) => path.join(driveD, name);
const sizeOf = (file) => fs.statSync(file).size;

// ---- System Disk Cleanup ---------------------------------------------------------------
test("the page opens from the System Disk tile with the drive's letter, sizes and usage", async () => {
    await enterDiskPage();
    await expectShown("#DiskHome1");
    await expectHidden("#DiskHome2");
    await expectHidden("#AllHome");
    assert.match(await shown("tab4_HomeDisk1").getAttribute("class"), /active-disk/);
    assert.equal(await text("#DiskName"), "C");
    assert.match(await text("#UsableSize"), /^\d+\.\d\d [KMGT]?B$/);
    assert.match(await text("#DiskAllSize"), /^\d+ [KMGT]?B$/);
    const [, free, total] = await page.evaluate(() => view.GetDiskSize(1));
    const usage = await shown("ProgressID").evaluate((bar) => bar.value);
    assert.ok(Math.abs(usage - (total - free) * 100 / total) < 1, `usage ${usage}`);
    // The scan reports each group; then the space it found, or nothing.
    await page.waitForFunction(() => view.GetPopupZoneBit() === 0, null, { timeout: 60000 });
    assert.match(await text("#CleanSize"), /^\d+\.\d\d [KMGT]?B$/);
    assert.equal(await page.evaluate(() => view.GetDeleteDiskSize()), "2048");
    assert.equal(await text("#LatestClean"), "2.00 KB");
    await expectNoOverflow();
    await shoot("disk-cleanup");
});

test("Release cleans, runs the bar up to 100 and back to the new usage, and says the cleanup is complete", async (t) => {
    // Every value the bar takes, and every note.
    await page.evaluate(() => {
        window.seen = { bar: [], notes: [] };
        new MutationObserver((records) => records.forEach((record) => window.seen.bar.push(Number(record.oldValue))))
            .observe($id("ProgressID"), { attributeFilter: ["value"], attributeOldValue: true });
        new MutationObserver(() => window.seen.notes.push($id("CleanSize").textContent))
            .observe($id("CleanSize"), { childList: true, subtree: true });
    });
    const started = Date.now();
    await page.click("#DiskStartScan");
    await closeTips("Cleanup complete.");
    t.diagnostic(`Release: cleanup complete after ${Date.now() - started} ms`);
    assert.equal(await text("#CleanSize"), "Cleanup complete.");
    const { bar, notes } = await page.evaluate(() => ({ ...window.seen, bar: [...window.seen.bar, $id("ProgressID").value] }));
    assert.equal(notes[0], "Cleaning up...");
    const top = bar.indexOf(100);
    assert.ok(top >= 0, "the bar never reached 100");
    for (let n = 1; n < top; ++n) assert.ok(bar[n] > bar[n - 1], `the bar went back at step ${n}`);
    assert.equal(bar[top + 1], 0);
    assert.equal(bar.length, top + 3);
    const [, free, total] = await page.evaluate(() => view.GetDiskSize(1));
    assert.ok(Math.abs(bar.at(-1) - (total - free) * 100 / total) < 1);
    await page.waitForFunction(() => view.GetPopupZoneBit() === 0, null, { timeout: 60000 });
    assert.ok(!fs.existsSync(oldTemporaryFile));
    assert.ok(await page.evaluate(() => FileSizeToLongLong(view.GetDeleteDiskSize())) >= 5000);
});

// ---- Downloads Transfer ----------------------------------------------------------------
test("the second tab shows the download folder as a tree of its entries with their sizes", async () => {
    await page.click("#tab4_HomeDisk2");
    await expectShown("#DiskHome2");
    await expectHidden("#DiskHome1");
    assert.match(await shown("tab4_HomeDisk2").getAttribute("class"), /active-disk/);
    assert.equal(await text("#DiskPath"), "C");
    assert.equal(await text("#PopupPathName"), "Downloads");
    assert.equal(await shown("PopupPath").getAttribute("filename"), downloads);
    await page.waitForFunction(() => $id("RawFileSzie").textContent === "7.39 KB", null, { timeout: 30000 });
    const options = await treeOptions();
    assert.deepEqual(options[0], { name: "Downloads", level: "1", kind: "1", checked: "true", size: "7.39 KB" });
    assert.deepEqual(options.slice(1).sort((a, b) => a.name.localeCompare(b.name)), [
        { name: "docs", level: "2", kind: "1", checked: "true", size: "500.00 B" },
        { name: "photos", level: "2", kind: "1", checked: "true", size: "3.00 KB" },
        { name: "readme.txt", level: "2", kind: "0", checked: "true", size: "1000.00 B" },
        { name: "setup.exe", level: "2", kind: "0", checked: "true", size: "2.93 KB" },
    ]);
    // Everything checked: the folder itself would move.
    assert.deepEqual(await page.evaluate(() => DiskTree.GetTreeSelect()), [downloads]);
    await expectNoOverflow();
    await shoot("downloads-tree");
});

test("the check marks: the root's goes to every entry, an entry's makes the root partly checked", async () => {
    await rootRow().locator(".tree-check").click();
    assert.ok((await treeOptions()).every((option) => option.checked === "false"));
    assert.equal(await text("#RawFileSzie"), "0.00 B");
    for (const name of ["photos", "setup.exe"]) await entry(name).locator(".tree-check").click();
    assert.equal((await treeOptions())[0].checked, "mixed");
    assert.equal(await text("#RawFileSzie"), "5.93 KB");
    assert.deepEqual((await page.evaluate(() => DiskTree.GetTreeSelect())).sort(), [downloads + "/photos", downloads + "/setup.exe"]);
    // Collapsing hides the entries and keeps them.
    await rootRow().locator(".tree-toggle").click();
    await expectHidden("#DiskScanFile .tree-children .tree-option");
    await rootRow().locator(".tree-toggle").click();
    await expectShown("#DiskScanFile .tree-children .tree-option");
    assert.equal((await treeOptions()).length, 5);
});

test("Move refuses a missing target and one the native side cannot use", async () => {
    await page.click("#Disk4Move");
    await closeTips("Choose a folder to move to.");
    // The dialog cancelled: nothing changes.
    await chooseTarget(null);
    assert.equal(await shown("MigrationPath").inputValue(), "");
    // A drive that does not exist.
    await chooseTarget("file:///Q:/Moved");
    assert.equal(await shown("MigrationPath").inputValue(), "Q:/Moved");
    await page.click("#Disk4Move");
    await closeTips("That location isn't valid.");
    assert.equal(await text(".disk-postion"), "0%");
});

test("a move of the selected entries reaches 100%, and Yes asks for the restart", async () => {
    await chooseTarget("file:///D:/Moved");
    assert.equal(await shown("MigrationPath").inputValue(), "D:/Moved");
    await moveAndWait();
    assert.equal(await text("#CopySizeMB"), "5.93 KB");
    await expectShown("#button-bar button", 10000, box());
    assert.equal(await text(".tips-text", box()),
        "Your changes have been saved. Restart your PC now to apply them?");
    assert.deepEqual(await box().locator("#button-bar button").allTextContents(), ["No", "Yes"]);
    await expectNoOverflow();
    await shoot("restart-question");
    for (const [name, size] of [["photos/a.jpg", 2048], ["photos/b.jpg", 1024], ["setup.exe", 3000]]) {
        assert.equal(sizeOf(onD("Moved/" + name)), size, name);
        assert.ok(!fs.existsSync(downloadsFile(name)), name);
    }
    assert.ok(!fs.existsSync(downloadsFile("photos")), "the emptied folder stays");
    assert.ok(fs.existsSync(downloadsFile("readme.txt")) && fs.existsSync(downloadsFile("docs/c.pdf")));

    // The restart request is answered here, as the native side would.
    let answered;
    const restart = new Promise((done) => { answered = done; });
    await page.route("**/call", (route) => {
        const call = JSON.parse(route.request().postData());
        if (call.name !== "FinishOtherOperate") return route.continue();
        answered(call.args);
        return route.fulfill({ status: 200, contentType: "application/json", body: "[0]" });
    });
    await box().locator("#yes").click();
    assert.deepEqual(await within(restart, 10000, "restart request"), [2]);
    await expectHidden("iframe[name='msgbox_htm']");
    await page.unroute("**/call");
    assert.equal(await page.evaluate(() => view.GetPopupZoneBit()), 0);
});

test("a move that cannot place every file is taken back, shows the counts in green and red and asks nothing", async () => {
    // The settings point at D:\Moved now: the page shows it on the next visit.
    await enterDiskPage();
    await page.click("#tab4_HomeDisk2");
    await page.waitForFunction(() => $id("RawFileSzie").textContent === "5.93 KB", null, { timeout: 30000 });
    assert.equal(await text("#DiskPath"), "D");
    assert.equal(await text("#PopupPathName"), "Moved");
    // A file already at the destination is never replaced, and the files
    // that did arrive go again: nothing moves.
    writeFile(onD("Moved2/setup.exe"), 10);
    await chooseTarget("file:///D:/Moved2");
    await moveAndWait();
    await expectShown("#ReminderWindows", 10000, popup());
    const paragraphs = popup().locator("#WindowsTipsText p");
    assert.deepEqual(await paragraphs.allTextContents(),
        ["Files moved: 0.", "Files that couldn't be moved: 3."]);
    const colours = await popup().locator("#WindowsTipsText p span").evaluateAll((spans) => spans.map((span) => getComputedStyle(span).color));
    assert.deepEqual(colours, ["rgb(15, 127, 68)", "rgb(200, 0, 0)"]);
    await expectNoOverflow(page.frames().find((frame) => frame.url().includes("PopupWindows.html")));
    await shoot("move-result");
    await popup().locator("#CopyError").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    assert.equal(await page.locator("iframe[name='msgbox_htm']").count(), 0);
    assert.equal(sizeOf(onD("Moved2/setup.exe")), 10);
    assert.ok(!fs.existsSync(onD("Moved2/photos")));
    assert.equal(sizeOf(onD("Moved/setup.exe")), 3000);
    assert.equal(sizeOf(onD("Moved/photos/a.jpg")), 2048);
    // The settings still point at D:\Moved.
    assert.equal(await text("#PopupPathName"), "Moved");
    await page.waitForFunction(() => $id("RawFileSzie").textContent === "5.93 KB", null, { timeout: 30000 });
});

test("No after a move loads the tree again from the download folder's new place", async () => {
    await rootRow().locator(".tree-check").click();
    await entry("photos").locator(".tree-check").click();
    await chooseTarget("file:///D:/Moved3");
    await moveAndWait();
    await expectShown("#button-bar button", 10000, box());
    await box().locator("#no").click();
    await expectHidden("iframe[name='msgbox_htm']");
    await page.waitForFunction(() => $id("PopupPathName").textContent === "Moved3");
    assert.deepEqual((await treeOptions()).map((option) => option.name), ["Moved3", "photos"]);
    assert.equal(sizeOf(onD("Moved3/photos/b.jpg")), 1024);
    assert.ok(!fs.existsSync(onD("Moved2/photos")));
});

// Answers the page's calls named in `answers` (wire answers, such as
// [{"t":"undefined"}]) in place of the program; the others go through.
async function answerCalls(answers) {
    await page.route("**/call", (route) => {
        const call = JSON.parse(route.request().postData());
        if (!(call.name in answers)) return route.continue();
        return route.fulfill({ status: 200, contentType: "application/json", body: JSON.stringify(answers[call.name]) });
    });
}

test("unreadable answers show the failure texts and leave the page as it was", async () => {
    await page.click("#RetHome");
    const cases = [
        [{ GetDiskSize: [{ t: "undefined" }] }, "Couldn't read the drive's information."],
        [{ GetDiskSize: [["C:", "200", "100"]] }, "The drive's information isn't valid."],
        [{ GetDiskSize: [["C:", "0", "0"]] }, "The drive's information isn't valid."],
    ];
    for (const [answers, note] of cases) {
        await answerCalls(answers);
        await page.click("#SystemDisk");
        await closeTips("Couldn't read the drive's information.");
        await page.unroute("**/call");
        assert.equal(await page.evaluate(() => $id("CleanSize").textContent), note);
        await expectShown("#AllHome");
        await expectHidden("#tabs4_Disk");
    }
    // No download folder to be read: the page opens without a tree of its own.
    for (const folders of [["{not json"], [{ t: "undefined" }], ['[{"first":"Win10DownloadDir","second":"C:"}]']]) {
        await answerCalls({ GetDownloadDir: folders });
        await page.click("#SystemDisk");
        await closeTips("The Downloads folder's location isn't valid.");
        await page.unroute("**/call");
        await expectShown("#tabs4_Disk");
        assert.equal(await text("#DiskPath"), "Drive");
        assert.equal((await treeOptions())[0].name, "Moved3");
        await page.click("#RetHome");
    }
});

test("a download folder unreadable after a move's result waits for that result, then says so", async () => {
    await enterDiskPage();
    await page.click("#tab4_HomeDisk2");
    await page.waitForFunction(() => $id("PopupPathName").textContent === "Moved3");
    writeFile(onD("Moved4/photos/a.jpg"), 10);
    await chooseTarget("file:///D:/Moved4");
    // The move reads the download folder first; after its result the page
    // reads it again and finds nothing it can use.
    let reads = 0;
    await page.route("**/call", (route) => {
        const call = JSON.parse(route.request().postData());
        if (call.name !== "GetDownloadDir" || ++reads === 1) return route.continue();
        return route.fulfill({ status: 200, contentType: "application/json", body: JSON.stringify(["{not json"]) });
    });
    await moveAndWait();
    await expectShown("#ReminderWindows", 10000, popup());
    // A file already at the target: the move is taken back whole.
    assert.deepEqual(await popup().locator("#WindowsTipsText p").allTextContents(),
        ["Files moved: 0.", "Files that couldn't be moved: 2."]);
    await page.waitForFunction(() => $id("DiskPath").textContent === "Drive");
    assert.equal(await page.locator("iframe[name='PopupWindows_html']").count(), 1);
    await popup().locator("#CopyError").click();
    await expectShown("#HomeTipsText", 10000, popup());
    assert.equal(await text("#HomeTipsText", popup()), "The Downloads folder's location isn't valid.");
    assert.equal(await page.evaluate(() => view.rootDisabled), true);
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    assert.equal(await page.evaluate(() => view.rootDisabled), false);
    await page.unroute("**/call");
    assert.equal(reads, 2);
});
