// The startup page, the service page and the service log window, on entries
// and services of the test's own in the ui prefix: a Run value, a shortcut in
// the user's Startup folder and three services, removed again at the end.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { env, quietly, serviceStartType, drive, startProgram, stopPrograms, wine, within, openBrowser, openPage, lookAt } from "./harness.mjs";

let browser;
let page;
const { shown, popup, expectShown, expectHidden, text, shoot, expectNoOverflow } = lookAt(() => page);
const logWindow = () => page.frameLocator("iframe[name='SevicerLog_html']");
const logFrame = () => page.frames().find((frame) => frame.url().includes("SevicerLog.html"));

const RUN_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const APPROVED = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";
const APPROVED_RUN = APPROVED + "Run";
const APPROVED_FOLDER = APPROVED + "StartupFolder";
const RUN_VALUE = "QoE2eRun";
// The shortcut's target is a program with an icon of its own, which a Run
// value starts too: the two rows show that icon.
const RUN_OWN_ICON = "QoE2eRunOwnIcon";
const OWN_ICON_PROGRAM = "Z:" + path.join(env.QO_BUILD, "bin", "startup_shortcut.exe").replace(/\//g, "\\");
const SHORTCUT = "QoE2e Startup.lnk";
const SERVICES = [
    { name: "QoE2eAlpha", display: "QoE2e Alpha", start: "demand", description: "The test's service that changes its start type." },
    { name: "QoE2eBeta", display: "QoE2e Beta", start: "disabled", description: "" },
    { name: "QoE2eGone", display: "QoE2e Gone", start: "demand", description: "" },
];
let shortcutFile;

function removeSeed() {
    quietly("reg", "delete", RUN_KEY, "/v", RUN_VALUE, "/f");
    quietly("reg", "delete", RUN_KEY, "/v", RUN_OWN_ICON, "/f");
    quietly("reg", "delete", APPROVED_RUN, "/v", RUN_VALUE, "/f");
    quietly("reg", "delete", APPROVED_FOLDER, "/v", SHORTCUT, "/f");
    for (const service of SERVICES) quietly("sc", "delete", service.name);
    if (shortcutFile) fs.rmSync(shortcutFile, { force: true });
}

// The first byte of an entry's approval value (02 on, 03 off); -1 without one.
function approval(key, name) {
    let answer = "";
    try {
        answer = wine("reg", "query", key, "/v", name);
    } catch (absent) {
        return -1;
    }
    const match = /REG_BINARY\s+([0-9A-F]{2})/i.exec(answer);
    return match ? parseInt(match[1], 16) : -1;
}

before(async () => {
    removeSeed();
    wine("reg", "add", RUN_KEY, "/v", RUN_VALUE, "/d", "C:\\windows\\notepad.exe", "/f");
    wine("reg", "add", RUN_KEY, "/v", RUN_OWN_ICON, "/d", OWN_ICON_PROGRAM, "/f");
    // Windows 10 switches a Run entry through its approval value (02: on).
    wine("reg", "add", APPROVED_RUN, "/v", RUN_VALUE, "/t", "REG_BINARY", "/d", "020000000000000000000000", "/f");
    const link = wine(path.join(env.QO_BUILD, "bin", "startup_shortcut.exe"), SHORTCUT, OWN_ICON_PROGRAM).trim();
    shortcutFile = path.join(drive, ...link.slice(3).split("\\"));
    assert.ok(fs.existsSync(shortcutFile), `no shortcut at ${shortcutFile}`);
    for (const service of SERVICES) {
        wine("sc", "create", service.name, "binPath=", "C:\\windows\\system32\\notepad.exe", "start=", service.start,
            "DisplayName=", service.display);
        if (service.description) wine("sc", "description", service.name, service.description);
    }
    // The recommendations come with the seed database beside the program.
    const folder = path.join(env.QO_WORK, "pages");
    fs.mkdirSync(folder, { recursive: true });
    fs.copyFileSync(path.join(env.QO_BUILD, "bin", "newupdate.db"), path.join(folder, "newupdate.db"));
    const program = startProgram("pages", "QuillmarkOrvane.exe", ["--headless"]);
    const address = await within(program.firstLine, 60000, "page address");
    browser = await openBrowser("pages-profile");
    page = await openPage(browser, address);
    await expectHidden("#ReadyLoad", 10000);
});

after(async () => {
    if (browser) await browser.close();
    await stopPrograms();
    removeSeed();
});

// ---- Startup page -------------------------------------------------------------------
const startupRow = (file) => page.locator(`#BOOKItem tr:has(td[filename$="${file}" i])`);

test("the startup page switches the Run entry and the shortcut off and on and reads them back", async () => {
    await page.click("#BootOptimize");
    await expectShown("#BOOKoptimize");
    // Windows 10: both are switched through their approval values, written
    // as Windows writes them; the Run value and the shortcut file stay.
    const shortcutBytes = fs.readFileSync(shortcutFile);
    const cases = [
        ["\\\\notepad.exe", () => approval(APPROVED_RUN, RUN_VALUE), 0x02, 0x03, 0x02],
        [SHORTCUT, () => approval(APPROVED_FOLDER, SHORTCUT), -1, 0x03, 0x02],
    ];
    for (const [file, state, seeded, off, on] of cases) {
        const row = () => startupRow(file);
        assert.equal(await row().count(), 1, file);
        assert.equal(await text(".startup-state", row()), "Enabled");
        assert.equal(await state(), seeded);
        await row().locator("button.resgiter-button").click();
        assert.equal(await text(".startup-state", row()), "Disabled");
        assert.equal(await text("button", row()), "Enable");
        assert.equal(await state(), off);
        await row().locator("button.button-text2").click();
        assert.equal(await text(".startup-state", row()), "Enabled");
        assert.equal(await text("button", row()), "Disable");
        assert.equal(await state(), on);
    }
    assert.deepEqual(fs.readFileSync(shortcutFile), shortcutBytes);
    // The row's tooltip is its name.
    const row = startupRow(SHORTCUT);
    await row.locator(".startup-publisher").hover();
    await expectShown("#TooltipBox");
    assert.equal(await text("#TooltipBox"), await text(".startup-name", row));
    await expectNoOverflow();
    await shoot("startup-page");
});

// The icon a row shows once loaded: its address, its size and its pixels.
async function rowIcon(row) {
    const icon = row.locator("td.FileIco img");
    await icon.evaluate((img) => new Promise((done) => {
        const look = () => (img.complete && img.naturalWidth > 0 ? done() : setTimeout(look, 50));
        look();
    }));
    return icon.evaluate((img) => {
        const canvas = document.createElement("canvas");
        canvas.width = img.naturalWidth;
        canvas.height = img.naturalHeight;
        const drawing = canvas.getContext("2d");
        drawing.drawImage(img, 0, 0);
        const alpha = drawing.getImageData(0, 0, canvas.width, canvas.height).data.filter((_, i) => i % 4 === 3);
        return { src: img.getAttribute("src"), width: img.naturalWidth, painted: alpha.some((value) => value > 0), pixels: canvas.toDataURL() };
    });
}

test("each startup entry shows its own program's icon, drawn by the program; others the generic one", async () => {
    const program = await rowIcon(startupRow("\\\\notepad.exe"));
    assert.equal(program.src, "/icon?file=" + encodeURIComponent("C:\\windows\\notepad.exe"));
    const shortcut = await rowIcon(startupRow(SHORTCUT));
    assert.match(shortcut.src, new RegExp("^/icon\\?file=.*" + encodeURIComponent(SHORTCUT).replace(/[.()%]/g, "\\$&") + "$"));
    for (const icon of [program, shortcut]) {
        assert.equal(icon.width, 32);
        assert.ok(icon.painted);
    }
    // The shortcut shows its target's own icon, as the Run value of that
    // program does; notepad shows another.
    assert.equal(shortcut.pixels, (await rowIcon(startupRow("\\\\startup_shortcut.exe"))).pixels);
    assert.notEqual(program.pixels, shortcut.pixels);
    // A file of no entry gets no icon; a row whose file has none shows the generic one.
    const unlisted = await page.evaluate(() => fetch("/icon?file=" + encodeURIComponent("C:\\windows\\winver.exe")).then((answer) => answer.status));
    assert.equal(unlisted, 404);
    await page.evaluate(() => AutorunOrganizer([["Gone", "Maker", "C:\\qo-e2e\\gone.exe", 0, 0]]));
    const generic = await rowIcon(page.locator("#BOOKItem tr").first());
    assert.equal(generic.src, "images/file.png");
    assert.notEqual(generic.pixels, program.pixels);
    await page.evaluate(() => AutorunOrganizer(view.GetStartupInfo()));
    await shoot("startup-icons");
});

// The program's answer is the route's here: the program is never asked, so
// what a switch that fails leaves of the entry is the startup suite's to show.
test("a switch the program answers as failed says so, and the row keeps its state", async () => {
    let answered = 0;
    await page.route("**/call", (route) => {
        if (JSON.parse(route.request().postData()).name !== "SetSingleStartupInfo") return route.continue();
        ++answered;
        return route.fulfill({ status: 200, contentType: "application/json", body: "[false]" });
    });
    await startupRow(SHORTCUT).locator("button.resgiter-button").click();
    await expectShown("#HomeTipsText", 10000, popup());
    assert.equal(await text("#HomeTipsText", popup()), "Couldn't make the change");
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    await page.unroute("**/call");
    assert.equal(answered, 1);
    assert.equal(await text(".startup-state", startupRow(SHORTCUT)), "Enabled");
});

test("the startup table leaves out entries without five values and stays empty without an answer", async () => {
    const rows = await page.evaluate(() => {
        AutorunOrganizer([["App", "Maker", "C:\\app.exe", 1, 0], ["Short", "Maker", "C:\\short.exe", 0]]);
        const counted = [$id("BOOKItem").rows.length, $id("BOOKItem").rows[0].cells[3].textContent];
        AutorunOrganizer(undefined);
        counted.push($id("BOOKItem").rows.length);
        AutorunOrganizer(view.GetStartupInfo());
        return counted;
    });
    assert.deepEqual(rows, [1, "Disabled", 0]);
    await page.click("#RetHome");
    await expectShown("#AllHome");
});

// ---- Service page ---------------------------------------------------------------------
// Scrolls the service's row into the list's window; its locator.
async function serviceRow(name) {
    const index = await page.evaluate((wanted) => {
        const list = $id("SystemItem");
        const at = list.value.findIndex((record) => record.AuthorName === wanted);
        if (at >= 0) list.currentIndex = at;
        return at;
    }, name);
    assert.ok(index >= 0, `${name} is not listed`);
    return page.locator("#SystemItem tr").filter({ has: page.locator("td[name='AuthorName']", { hasText: new RegExp(`^${name}$`) }) });
}

async function rowsInPage() {
    return page.evaluate(() => $id("SystemItem").children.length);
}

test("a service is switched off and on from its button, and the service manager agrees", async () => {
    await page.click("#SystemService");
    await expectShown("#System_Service");
    await expectShown("#SystemItem tr");
    const listed = await page.evaluate(() => $id("SystemItem").value.length);
    // A new prefix has some twenty services of its own.
    assert.ok(listed > 15, `only ${listed} services`);
    assert.ok(await rowsInPage() <= 14, `${await rowsInPage()} rows in the page`);
    const beta = await serviceRow("QoE2eBeta");
    assert.equal(await text(".EnabledInt", beta), "Disabled");
    assert.equal(await beta.locator(".TdAmend").textContent(), "Enable");

    let alpha = await serviceRow("QoE2eAlpha");
    assert.equal(await text("span[name='FileName']", alpha), "QoE2e Alpha");
    assert.equal(await text(".EnabledInt", alpha), "Manual");
    assert.equal(serviceStartType("QoE2eAlpha"), 3);
    const steps = [["Disable", "Disabled", "Enable", 4], ["Enable", "Automatic", "Disable", 2]];
    for (const [pressed, state, button, type] of steps) {
        alpha = await serviceRow("QoE2eAlpha");
        assert.equal(await alpha.locator(".TdAmend").textContent(), pressed);
        await alpha.locator(".TdAmend").click();
        alpha = await serviceRow("QoE2eAlpha");
        assert.equal(await text(".EnabledInt", alpha), state);
        assert.equal(await alpha.locator(".TdAmend").textContent(), button);
        assert.equal(serviceStartType("QoE2eAlpha"), type);
    }
    // The description is the row's tooltip.
    await alpha.locator("td[name='BanRate']").hover();
    await expectShown("#TooltipBox");
    assert.equal(await text("#TooltipBox"), SERVICES[0].description);
    await expectNoOverflow();
    await shoot("service-page");
});

test("the service log shows both changes; Restore keeps a type set since and Finish refreshes the page", async () => {
    await page.click("#ServiceLogPopup");
    const log = logWindow();
    await expectShown("#SystemItemLog tr", 10000, log);
    assert.equal(await page.evaluate(() => view.rootDisabled), true);
    assert.equal(await text("#TotalRecord", log), "2");
    const rows = log.locator("#SystemItemLog tr");
    assert.equal(await rows.count(), 2);
    assert.deepEqual(await rows.locator("td[name='FileName']").allTextContents(), ["QoE2e Alpha", "QoE2e Alpha"]);
    assert.deepEqual(await rows.locator(".EnabledInt").allTextContents(), ["Manual", "Disabled"]);
    assert.match(await text(".Suggest", rows.first()), /^\d\d\/\d\d\/\d{4} \d\d:\d\d:\d\d$/);
    assert.equal(await text(".TdAmend", rows.first()), "Restore");
    await expectNoOverflow(logFrame());
    await shoot("service-log");

    // Maximized, the list takes the window's height less 130.
    await log.locator("#maximize_My").click();
    assert.match(await log.locator("#maximize_My").getAttribute("class"), /min-button/);
    const heights = await logFrame().evaluate(() => [innerHeight, $id("SystemItemLog").getBoundingClientRect().height]);
    assert.equal(heights[1], heights[0] - 130);
    await log.locator("#maximize_My").click();
    assert.equal(await logFrame().evaluate(() => $id("SystemItemLog").getBoundingClientRect().height), 350);

    // The first change went from Manual to Disable, but the second has set
    // Automatic since: Restore keeps Automatic, says so, and the record is done.
    await rows.first().locator(".TdAmend").click();
    await expectShown("#SevicerAlterUI", 10000, log);
    assert.equal(await text("#SevicerTipsServe", log), "Its startup type has changed since then, so it was left as it is.");
    await log.locator("#SevicerYES").click();
    await expectHidden("#SevicerAlterUI", 10000, log);
    assert.equal(serviceStartType("QoE2eAlpha"), 2);
    assert.equal(await text("#TotalRecord", log), "1");
    assert.deepEqual(await rows.locator(".EnabledInt").allTextContents(), ["Disabled"]);

    await log.locator("#SevicerFinish").click();
    await expectHidden("iframe[name='SevicerLog_html']");
    assert.equal(await page.evaluate(() => view.rootDisabled), false);
    const alpha = await serviceRow("QoE2eAlpha");
    assert.equal(await text(".EnabledInt", alpha), "Automatic");
});

test("once the last record is restored the log is empty, and the page says there is none", async () => {
    await page.click("#ServiceLogPopup");
    const log = logWindow();
    await expectShown("#SystemItemLog tr", 10000, log);
    await log.locator("#SystemItemLog .TdAmend").first().click();
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
    assert.equal(await text("#TotalRecord", log), "0");
    assert.equal(await log.locator("#SystemItemLog tr").count(), 0);
    assert.equal(serviceStartType("QoE2eAlpha"), 4);
    await log.locator("#SevicerClose").click();
    await expectHidden("iframe[name='SevicerLog_html']");
    await page.click("#ServiceLogPopup");
    await expectShown("#HomeTipsText", 10000, popup());
    assert.equal(await text("#HomeTipsText", popup()), "No service changes have been made yet.");
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
});

test("Ban Rate sorts larger first, then smaller first; Advice then sorts by recommendation", async () => {
    const order = (member) => page.evaluate((at) => ServiceArray.map((entry) => entry[at]), member);
    const rate = (text) => (text === "--" ? 0 : parseInt(text, 10));
    const rates = await order(7);
    assert.ok(new Set(rates).size > 1, "the seed database gives no ban rates");
    const cases = [
        ["#ServiceBanSort", 7, (a, b) => b - a, "tr-bg-top"],
        ["#ServiceBanSort", 7, (a, b) => a - b, "tr-bg-bottom"],
        [".ServiceAdviceSort", 6, (a, b) => b - a, "tr-bg-top"],
    ];
    for (const [header, member, compare, look] of cases) {
        await page.click(header);
        const values = await order(member);
        assert.deepEqual(values, values.slice().sort(compare), header);
        assert.match(await page.locator(header).getAttribute("class"), new RegExp(look));
        // The rows show the sorted records from the top.
        await page.evaluate(() => { $id("SystemItem").firstIndex = 0; });
        const first = await page.evaluate(() => ServiceArray[0]);
        assert.equal(await text("#SystemItem tr:first-child span[name='FileName']"), first[0]);
        if (member === 7) assert.equal(rate(await text("#SystemItem tr:first-child td[name='BanRate']")), first[7]);
    }
    // A second click on Advice gives the native order back.
    await page.click(".ServiceAdviceSort");
    assert.deepEqual(await order(4), rates.map((_, i) => i));
    assert.match(await page.locator(".ServiceAdviceSort").getAttribute("class"), /tr-bg-bottom/);
    await page.click("#ServiceNameSort");
    const names = await order(0);
    assert.deepEqual(names, names.slice().sort());
    await page.click("#ServiceNameSort");
    assert.deepEqual(await order(4), rates.map((_, i) => i));
});

test("after a switch and after the log window the order stays, and only its header looks sorted", async () => {
    const order = (member) => page.evaluate((at) => ServiceArray.map((entry) => entry[at]), member);
    const looks = () => page.evaluate(() => ["ServiceNameSort", "ServiceBanSort", "ServiceAdviceSort"].map((name) => {
        const header = Element_(name);
        return (header.classList.contains("tr-bg-top") ? "top" : "bottom") + (header.classList.contains("sort-active") ? " sorted" : "");
    }));
    const expectOrder = async (member, compare, look) => {
        const values = await order(member);
        assert.deepEqual(values, values.slice().sort(compare));
        assert.deepEqual(await looks(), look);
    };
    const byAdvice = [6, (a, b) => b - a, ["bottom", "bottom", "top sorted"]];
    const byRateAscending = [7, (a, b) => a - b, ["bottom", "bottom sorted", "bottom"]];

    await page.click(".ServiceAdviceSort");
    await expectOrder(...byAdvice);
    // Switched on, the service is listed where the order puts it.
    let alpha = await serviceRow("QoE2eAlpha");
    await alpha.locator(".TdAmend").click();
    alpha = await serviceRow("QoE2eAlpha");
    assert.equal(await text(".EnabledInt", alpha), "Automatic");
    await expectOrder(...byAdvice);
    await page.click("#ServiceLogPopup");
    await expectShown("#SystemItemLog tr", 10000, logWindow());
    await logWindow().locator("#SevicerClose").click();
    await expectHidden("iframe[name='SevicerLog_html']");
    await expectOrder(...byAdvice);
    // The toggle in state 2: Ban Rate sorts smaller first, and only its arrow says so.
    await page.click("#ServiceBanSort");
    await expectOrder(...byRateAscending);
    await (await serviceRow("QoE2eAlpha")).locator(".TdAmend").click();
    assert.equal(serviceStartType("QoE2eAlpha"), 4);
    await expectOrder(...byRateAscending);
    await shoot("service-sorted");
    // Back to the native order: no header looks sorted.
    await page.click("#ServiceNameSort");
    await page.click("#ServiceNameSort");
    assert.deepEqual(await order(4), (await order(4)).slice().sort((a, b) => a - b));
    assert.deepEqual(await looks(), ["bottom", "bottom", "bottom"]);
});

test("a change that cannot be made says it could not be made and why, until Yes", async () => {
    const gone = await serviceRow("QoE2eGone");
    wine("sc", "delete", "QoE2eGone");
    await gone.locator(".TdAmend").click();
    await expectShown("#AlterUI");
    assert.equal(await text("#TipsServeH"), "Couldn't make the change");
    assert.equal(await text("#TipsServe"), "The service can't be read.");
    await expectShown("#AlterYES_2");
    for (const id of ["#AlterYES", "#AlterNo", "#CloseExit"]) await expectHidden(id);
    assert.equal(await page.evaluate(() => $id("UIHome").inert), true);
    await expectNoOverflow();
    await shoot("service-refused");
    await page.click("#AlterYES_2");
    await expectHidden("#AlterUI");
    assert.equal(await page.evaluate(() => $id("UIHome").inert), false);
    // Without a service list the page says so.
    await page.evaluate(() => SystemItemService(undefined));
    await expectShown("#HomeTipsText", 10000, popup());
    assert.equal(await text("#HomeTipsText", popup()), "Couldn't get the list of services.");
    await popup().locator("#OKendHome").click();
    await expectHidden("iframe[name='PopupWindows_html']");
});

// ---- VirtualList ------------------------------------------------------------------------
test("a VirtualList of 1000 records keeps visible + 3 rows while scrolling through all of them", async () => {
    const seen = await page.evaluate(async () => {
        const box = document.createElement("div");
        box.style.cssText = "position:fixed;left:0;top:0;width:400px;height:300px;z-index:5000;background:#fff";
        box.innerHTML = "<table class='list-table'><tbody style='height:300px'><tr style='height:30px'><td name='name'></td></tr></tbody></table>";
        document.body.appendChild(box);
        const list = VirtualList({ container: box.querySelector("tbody") });
        list.value = Array.from({ length: 1000 }, (_, i) => ({ name: "Record " + i }));
        const rows = new Set();
        const found = { most: 0, least: Infinity, height: list.scrollHeight, shown: new Set(), wrong: [] };
        for (let y = 0; y <= 30000; y += 45) {
            list.scrollTop = y;
            list.dispatchEvent(new Event("scroll"));
            const children = Array.from(list.children);
            found.most = Math.max(found.most, children.length);
            found.least = Math.min(found.least, children.length);
            children.forEach((row) => { rows.add(row); found.shown.add(row.textContent); });
            // The first record in view has its row, where the scroll puts it.
            const first = Math.min(Math.floor(list.scrollTop / 30), 990);
            const row = list.recordView(first);
            const top = row ? row.getBoundingClientRect().top - list.getBoundingClientRect().top + list.scrollTop : -1;
            if (!row || row.textContent !== "Record " + first || Math.abs(top - first * 30) > 1) found.wrong.push(y);
        }
        // Keyboard: End, Up, Home move the current record and post "change".
        let changes = 0;
        list.addEventListener("change", () => { changes += 1; });
        const keys = ["End", "ArrowUp", "PageUp", "Home"].map((key) => {
            list.dispatchEvent(new KeyboardEvent("keydown", { key: key }));
            const current = list.querySelector("tr.current");
            return [list.currentIndex, current ? current.textContent : null];
        });
        await new Promise((done) => setTimeout(done, 50));
        // A changed record redraws its row.
        list.value[0].name = "Changed";
        list.update(0);
        const changed = list.recordView(0).textContent;
        box.remove();
        return { ...found, shown: found.shown.size, rows: rows.size, keys, changes, changed };
    });
    assert.equal(seen.height, 30000);
    assert.equal(seen.most, 13);
    assert.ok(seen.least >= 12, `${seen.least} rows`);
    assert.equal(seen.shown, 1000);
    assert.deepEqual(seen.wrong, []);
    assert.ok(seen.rows <= 50, `${seen.rows} row elements`);
    assert.deepEqual(seen.keys, [[999, "Record 999"], [998, "Record 998"], [989, "Record 989"], [0, "Record 0"]]);
    assert.equal(seen.changes, 4);
    assert.equal(seen.changed, "Changed");
});
