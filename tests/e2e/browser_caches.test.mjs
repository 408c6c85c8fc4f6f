// The junk page's group "Browsers and applications" as a user meets it: only
// the browsers that are there have a tile, the detail window lists a
// browser's cache files and keeps a row, a browser that holds its cache is
// left whole with its tile saying to close it, and once it lets go its
// caches go and the rest of its profiles stays.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { drive, LONG, startProgram, stopPrograms, within, openBrowser, openPage, lookAt, removeStores } from "./harness.mjs";

let browser;
let page;
const { detail, expectShown, expectHidden, text, shoot } = lookAt(() => page);
const users = path.join(drive, "users");
const user = fs.readdirSync(users).find((name) => fs.existsSync(path.join(users, name, "AppData", "Local")) && name !== "Public");
const local = path.join(users, user, "AppData", "Local");
const chrome = path.join(local, "Google");
const userData = path.join(chrome, "Chrome", "User Data");
const CACHES = ["Default/Cache/Cache_Data/f_000001", "Default/Cache/Cache_Data/f_000002", "Default/Code Cache/js/index",
    "Profile 1/GPUCache/data_0", "Profile 1/Cache/Cache_Data/f_000003"];
const STAYS = ["Default/Cookies", "Default/History", "Default/Login Data", "Default/Local Storage/leveldb/000003.log",
    "Default/IndexedDB/https_site_0.indexeddb.leveldb/LOG", "Default/Extensions/abc/1.0/manifest.json", "Profile 1/Preferences"];
const HELD = "Profile 1/Cache/Cache_Data/f_000003";
const KEPT = "f_000002";
const release = path.join(drive, "qo-e2e-browser-release");
// The group's tiles on the junk page, in category order from Chrome on.
const tile = (n) => `#JunkScanLi2_Apps > .postion-div:nth-child(${n})`;

before(async () => {
    removeStores();
    fs.rmSync(chrome, { recursive: true, force: true });
    fs.rmSync(release, { force: true });
    const seed = (file, content) => {
        fs.mkdirSync(path.dirname(path.join(userData, file)), { recursive: true });
        fs.writeFileSync(path.join(userData, file), content);
    };
    for (const file of CACHES) seed(file, "c".repeat(1000));
    for (const file of STAYS) seed(file, "s");
    const program = startProgram("caches", "QuillmarkOrvane.exe", ["--headless"]);
    const address = await within(program.firstLine, 60000, "page address");
    browser = await openBrowser("caches-profile");
    page = await openPage(browser, address);
    await expectHidden("#ReadyLoad", 10000);
});

after(async () => {
    fs.writeFileSync(release, "");
    if (browser) await browser.close();
    await stopPrograms();
    fs.rmSync(chrome, { recursive: true, force: true });
    fs.rmSync(release, { force: true });
});

async function scanJunk() {
    if (await page.locator("#Scan_CleanEnd2").isVisible()) {
        await page.click("#ReturnScan2");
        await expectShown("#AllHome");
    }
    await page.click("#Scanning_Home2");
    await expectShown("#HomeScanEnd2", LONG);
}

test("only the browsers that are there have a tile, and the detail window keeps a row", async () => {
    await scanJunk();
    await expectShown("#li_Junk2Apps");
    assert.equal(await text(`${tile(1)} .center`), "Chrome cache");
    await expectShown(tile(1));
    // Edge, Brave, Vivaldi, Opera and Firefox are not in this prefix.
    for (let n = 2; n <= 6; n += 1) await expectHidden(tile(n));
    await shoot("browser-caches-group");
    await page.locator(`${tile(1)} .main-item`).click();
    const window = detail();
    await expectShown("#pathDL", 10000, window);
    assert.equal(await window.locator("#pathDL dl").count(), CACHES.length);
    const kept = window.locator("#pathDL dl", { hasText: KEPT });
    assert.equal(await kept.count(), 1);
    await kept.locator(".keep-button").click();
    await expectHidden(`#pathDL dl:has-text("${KEPT}")`, 10000, window);
    assert.equal(await window.locator("#pathDL dl").count(), CACHES.length - 1);
    await window.locator("#CloseDetail").click();
    await expectHidden("iframe[name='window_html']");
});

test("a browser holding its cache keeps all of it and its tile says to close it", async () => {
    const holder = startProgram("cache-holder", "hold_open.exe",
        [`C:\\users\\${user}\\AppData\\Local\\Google\\Chrome\\User Data\\${HELD.replaceAll("/", "\\")}`,
            "C:\\qo-e2e-browser-release"]);
    assert.equal(await within(holder.firstLine, 60000, "held file"), "held");
    // Only the group is cleaned: the first group's seed stays for the other files.
    await page.click("#SelectAll_Junk2");
    await page.click("#HomeEnd_Clean2");
    await expectShown("#Scan_CleanEnd2", LONG);
    await expectShown(`${tile(1)} .held-note`, 10000);
    assert.equal(await text(`${tile(1)} .held-note`), "Close Chrome to clean up its cache");
    await shoot("browser-caches-held");
    for (const file of [...CACHES, ...STAYS]) assert.ok(fs.existsSync(path.join(userData, file)), file);

    fs.writeFileSync(release, "");
    assert.equal(await holder.exited, 0);
    await scanJunk();
    await page.click("#SelectAll_Junk2");
    await page.click("#HomeEnd_Clean2");
    await expectShown("#Scan_CleanEnd2", LONG);
    for (const file of CACHES) assert.equal(fs.existsSync(path.join(userData, file)), file.endsWith(KEPT), file);
    for (const file of STAYS) assert.ok(fs.existsSync(path.join(userData, file)), file);
});

test("Scan All shows the group with the same tiles", async () => {
    await page.click("#ReturnScan2");
    await expectShown("#AllHome");
    await page.click("#Scanning_Home");
    await expectShown("#HomeScanEnd", LONG);
    await expectShown("#li_JunkApps");
    const homeTile = (n) => `#Junk_Scan_Apps > .postion-div:nth-child(${n})`;
    assert.equal(await text(`${homeTile(1)} .center`), "Chrome cache");
    await expectShown(homeTile(1));
    for (let n = 2; n <= 6; n += 1) await expectHidden(homeTile(n));
    await page.click("#endReturn_Home");
    await expectShown("#AllHome");
});
