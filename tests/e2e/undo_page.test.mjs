// The undo window, from the home page's menu: a registry clean, a startup
// switch and a service change made by orvane.exe beside the program, each
// restored once from the window, in the ui prefix.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { spawnSync } from "node:child_process";
import { env, quietly, serviceStartType, startProgram, stopPrograms, wine, within, openBrowser, openPage, lookAt, removeStores } from "./harness.mjs";

let browser;
let page;
const { popup, expectShown, expectHidden, text, shoot, expectNoOverflow } = lookAt(() => page);
const undoWindow = () => page.frameLocator("iframe[name='undo_html']");
const folder = path.join(env.QO_WORK, "undo");
const KEY = "HKCU\\Software\\QoE2eUndoEmpty";
const SERVICE = "QoE2eUndo";
const SERVICE_NAME = "QoE2e Undo Service";
const RUN = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const APPROVED = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const ENTRY = "QoE2eUndoStartup";

// orvane.exe beside the program: the same database and backups.
function orvane(...args) {
    const run = spawnSync(path.join(env.QO_SOURCE, "scripts", "wine.sh"), [env.QO_WINE_ROOT, "./orvane.exe", ...args],
        { cwd: folder, encoding: "utf8" });
    assert.equal(run.status, 0, `orvane ${args.join(" ")}: ${run.stdout} ${run.stderr}`);
    return run.stdout;
}

// The test's startup entry as orvane lists it.
function startupEntry() {
    return JSON.parse(orvane("startup", "list", "--json")).entries.find((entry) => entry.name === ENTRY);
}

function removeStartupEntry() {
    quietly("reg", "delete", RUN, "/v", ENTRY, "/f");
    quietly("reg", "delete", APPROVED, "/v", ENTRY, "/f");
}

function keyExists() {
    try {
        wine("reg", "query", KEY);
        return true;
    } catch (absent) {
        return false;
    }
}

before(async () => {
    removeStores();
    quietly("reg", "delete", KEY, "/f");
    quietly("sc", "delete", SERVICE);
    fs.rmSync(folder, { recursive: true, force: true });
    fs.mkdirSync(folder, { recursive: true });
    fs.copyFileSync(path.join(env.QO_BUILD, "bin", "orvane.exe"), path.join(folder, "orvane.exe"));
    wine("reg", "add", KEY, "/f");
    // Wine's reg gives a new key an empty default value: without it the key is empty.
    quietly("reg", "delete", KEY, "/ve", "/f");
    wine("sc", "create", SERVICE, "binPath=", "C:\\windows\\system32\\notepad.exe", "start=", "demand", "displayname=", SERVICE_NAME);
    removeStartupEntry();
    wine("reg", "add", RUN, "/v", ENTRY, "/d", "C:\\windows\\system32\\notepad.exe", "/f");
    orvane("clean", "registry.software");
    orvane("startup", "disable", String(startupEntry().number));
    orvane("services", "set", SERVICE, "disabled");
    assert.equal(startupEntry().enabled, false);
    assert.equal(keyExists(), false);
    assert.equal(serviceStartType(SERVICE), 4);
    const program = startProgram("undo", "QuillmarkOrvane.exe", ["--headless"]);
    const address = await within(program.firstLine, 60000, "page address");
    browser = await openBrowser("undo-profile");
    page = await openPage(browser, address);
    await expectHidden("#ReadyLoad", 10000);
});

after(async () => {
    if (browser) await browser.close();
    await stopPrograms();
    quietly("reg", "delete", KEY, "/f");
    quietly("sc", "delete", SERVICE);
    removeStartupEntry();
});

test("the undo window lists the changes and restores each once", async () => {
    await page.click("#MenuButton");
    await page.click("#UndoMenu");
    const undo = undoWindow();
    await expectShown("#UndoItems tr", 10000, undo);
    assert.equal(await page.evaluate(() => view.rootDisabled), true);
    const rows = undo.locator("#UndoItems tr");
    assert.equal(await rows.count(), 3);
    // What each change did, in words, whole: in the row and as its tooltip.
    const words = await rows.locator(".UndoWhat").allTextContents();
    const kinds = [...words].sort();
    assert.equal(kinds[0], `Changed ${SERVICE_NAME} from Manual to Disabled`);
    assert.match(kinds[1], /^Removed \d+ invalid registry entr(y|ies)$/);
    assert.match(kinds[2], /^Turned off \S.* at startup$/);
    const cut = await rows.locator(".UndoWhat").evaluateAll((cells) =>
        cells.filter((cell) => cell.scrollHeight > cell.clientHeight + 1 || cell.scrollWidth > cell.clientWidth + 1).length);
    assert.equal(cut, 0);
    await rows.first().locator(".UndoWhat").hover();
    await expectShown("#TooltipBox", 10000, undo);
    assert.equal(await text("#TooltipBox", undo), words[0]);
    assert.match(await text(".undo-notes", undo), /the files stay where they are/);
    assert.match(await text(".Suggest", rows.first()), /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/);
    await expectNoOverflow();
    await shoot("undo-window");

    // The registry clean comes back from its backup.
    await undo.locator("#UndoItems tr", { hasText: "invalid registry" }).locator(".TdAmend").click();
    await expectShown("#HomeTipsText", 10000, popup());
    assert.equal(await text("#HomeTipsText", popup()), "The operation completed successfully.");
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    assert.equal(keyExists(), true);
    const clean = undo.locator("#UndoItems tr", { hasText: "invalid registry" });
    assert.equal(await text(".TdAmend", clean), "Restored");
    assert.equal(await clean.locator(".TdAmend").isDisabled(), true);

    // The startup entry is switched back on; its row stays, restored.
    await undo.locator("#UndoItems tr", { hasText: "at startup" }).locator(".TdAmend").click();
    await expectShown("#HomeTipsText", 10000, popup());
    assert.equal(await text("#HomeTipsText", popup()), "The operation completed successfully.");
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    assert.equal(startupEntry().enabled, true);
    const switched = undo.locator("#UndoItems tr", { hasText: "at startup" });
    assert.equal(await text(".TdAmend", switched), "Restored");
    assert.equal(await switched.locator(".TdAmend").isDisabled(), true);

    // The service gets its type back; its row stays, restored, like the others.
    await undo.locator("#UndoItems tr", { hasText: SERVICE_NAME }).locator(".TdAmend").click();
    await expectShown("#HomeTipsText", 10000, popup());
    assert.equal(await text("#HomeTipsText", popup()), "The operation completed successfully.");
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    assert.equal(serviceStartType(SERVICE), 3);
    assert.equal(await undo.locator("#UndoItems tr").count(), 3);
    const service = undo.locator("#UndoItems tr", { hasText: SERVICE_NAME });
    assert.equal(await text(".TdAmend", service), "Restored");
    assert.equal(await service.locator(".TdAmend").isDisabled(), true);

    await undo.locator("#UndoFinish").click();
    await expectHidden("iframe[name='undo_html']");
    assert.equal(await page.evaluate(() => view.rootDisabled), false);
});

test("with Chinese chosen the undo window says what changed in Chinese", async () => {
    await page.evaluate(() => view.SetShowLanguage("zh"));
    await page.reload();
    await expectHidden("#ReadyLoad", 10000);
    await page.click("#MenuButton");
    await page.click("#UndoMenu");
    const undo = undoWindow();
    await expectShown("#UndoItems tr", 10000, undo);
    const words = await undo.locator("#UndoItems .UndoWhat").allTextContents();
    assert.equal(words.length, 3);
    assert.ok(words.includes(`已将 ${SERVICE_NAME} 从“手动”更改为“已禁用”`), words.join(" | "));
    assert.ok(words.some((said) => /^已删除 \d+ 个无效的注册表项$/.test(said)), words.join(" | "));
    assert.ok(words.some((said) => /^已关闭 \S.* 的开机启动$/.test(said)), words.join(" | "));
    assert.equal(await text(".TdAmend", undo.locator("#UndoItems tr").first()), "已还原");
    await expectNoOverflow();
    await shoot("undo-window-chinese");
    await undo.locator("#UndoFinish").click();
    await expectHidden("iframe[name='undo_html']");
    await page.evaluate(() => view.SetShowLanguage("en"));
});
