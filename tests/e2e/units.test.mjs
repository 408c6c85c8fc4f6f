// The documents' plain functions, run from their own script files: sizes,
// the health verdict, the selection text, the click bindings and the
// language tables.
// usage: QO_UI_SOURCE=src/ui node --test units.test.mjs
import { test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import vm from "node:vm";

const ui = process.env.QO_UI_SOURCE;

// The scripts need no page to define their functions.
function load(...files) {
    const context = vm.createContext({ document: { addEventListener() {} }, self: {}, console });
    for (const file of files) vm.runInContext(fs.readFileSync(path.join(ui, file), "utf8"), context, { filename: file });
    return context;
}
const scripts = load("tis/globalname.tis", "tis/resdef.tis", "tis/index.tis", "css/plus.tis");

test("FileSizeToString prints two decimals in the largest unit below 1024", () => {
    const cases = [
        [0, "0.00 B"], [1, "1.00 B"], [1023, "1023.00 B"], [1024, "1.00 KB"], [1536, "1.50 KB"],
        [1048575, "1024.00 KB"], [1048576, "1.00 MB"], [1073741824, "1.00 GB"], [2 ** 40, "1.00 TB"],
        [2 ** 50, "1024.00 TB"],
    ];
    for (const [size, text] of cases) assert.equal(scripts.FileSizeToString(size), text, `size ${size}`);
});

test("FileSizeToLongLong reads at most 19 leading digits", () => {
    const cases = [
        ["12abc", 12], ["", 0], ["abc", 0], ["0", 0], ["1536", 1536], [" 12", 0], ["-5", 0],
        ["9007199254740992", 9007199254740992], [undefined, 0],
    ];
    for (const [text, value] of cases) assert.equal(scripts.FileSizeToLongLong(text), value, `text ${text}`);
    // Beyond 2^53 the last digits are lost; digits past the 19th are not read.
    const long = scripts.FileSizeToLongLong("1234567890123456789012345");
    assert.equal(long, scripts.FileSizeToLongLong("1234567890123456789"));
    assert.ok(Math.abs(long - 1234567890123456789) < 1e4);
});

test("the health verdict reads the time since the last scan, then the score", () => {
    const notScanned = "You have not made an overall scanning!";
    const cases = [
        [[3, "5 1", 32], "Computer Health Status: Poor", "blueYellow"],
        [[3, "5 1", 33], "Computer Health Status: Medium", "blueGreen"],
        [[3, "5 1", 66], "Computer Health Status: Medium", "blueGreen"],
        [[3, "5 1", 67], "Computer Health Status: Excellent", "imgUrl"],
        [[3, "2 3", 150], "Computer Health Status: Excellent", "imgUrl"],
        [[3, "5 1", 1], "Computer Health Status: Poor", "blueYellow"],
        [[3, "5 1", 0], notScanned, "blueYellow"],
        [[3, "0 1", 100], "Computer Health Status: Excellent", "imgUrl"],
        [[3, "65535 3", 100], "Computer Health Status: Excellent", "imgUrl"],
        [[3, "65536 3", 100], notScanned, "blueYellow"],
        [[3, "-5 1", 100], notScanned, "blueYellow"],
        [[255, "You have not maked an overall scanning!", 100], notScanned, "blueYellow"],
        [[3, "", 100], notScanned, "blueYellow"],
        [[3, "5", 100], notScanned, "blueYellow"],
        [undefined, notScanned, "blueYellow"],
    ];
    for (const [status, text, cls] of cases) {
        const state = scripts.HealthState(status);
        assert.deepEqual([state.text, state.cls], [text, cls], JSON.stringify(status));
    }
});

test("the selection text is compact JSON followed by one blank", () => {
    const cases = [
        [[[0, 2], [1, 0]], '[{"first":0,"second":2},{"first":1,"second":0}] '],
        [[], "[] "],
        [[[2, 0]], '[{"first":2,"second":0}] '],
        [[["1", "12"]], '[{"first":1,"second":12}] '],
    ];
    for (const [pairs, text] of cases) assert.equal(scripts.SelectionText(pairs), text);
});

test("a click binding is a call with literal arguments and nothing else", () => {
    const cases = [
        ['OpenErrorInfo(1,0,5,"1024",1)', ["OpenErrorInfo", [1, 0, 5, "1024", 1]]],
        ["HomeItemChecked(0, 6, 2)", ["HomeItemChecked", [0, 6, 2]]],
        ["OpenFileDD()", ["OpenFileDD", []]],
        ["alert(document.cookie)", null],
        ["a(1);b(2)", null],
        ["(1)", null],
    ];
    for (const [text, binding] of cases) assert.deepEqual(JSON.parse(JSON.stringify(scripts.ParseClickBinding(text))), binding, text);
});

// The Chinese table: every key the windows show, as listed for translation.
const CHINESE_KEYS = [
    "Home", "Help", "About", "Language", "English", "Chinese", "Upgrade", "Scan All", "File Clean", "Junk File",
    "Registry", "Startup", "Back to Home page:", "Minutes", "Minute", "Hours", "Hour", "Days", "Day", "Other prog",
    "Kinds", "Marks", "Mark", "Computer Health Status: Poor", "Computer Health Status: Medium",
    "Computer Health Status: Excellent", "You have not made an overall scanning!", "Your computer needs cleaning!",
    "The program is already running!", "Do you really want to exit?", "Cancel", "Exit", "items.", "item.", "Items",
    "Item", "Since Last Scan", "Scan", "System Rating", "Garbage Type", "Registry Type", "Registry to be cleaned up",
    "Garbage to be cleared", "Scanning", "Stop Scanning", "Return", "Clean", "Scan completed", "Cleaning up", "Stop",
    "Cleanup Cancellation", "Checked files", "Start optimization", "Startup item Management", "Service Name",
    "Promulgator", "Condition", "Suggest", "Disable Rate", "Starting Mode", "Disabled", "Enabled", "Disable start",
    "Resume boot", "System Service", "Path", "Access denied!", "Fail to edit!", "YES", "NO",
    "Automatic(delayed start)", "Automatic", "Manual", "Disable",
    "Are you sure you want to change the service startup item?", "System Item Service", "Total record", "Operating",
    "Time", "Before", "Service Log", "Restore", "items", "Start", "Enable", "No Boot Entry!", "Keep Current",
    "Must Open", "Suggest Opening", "Suggest Disabling", "Service list retrieval failed!", "Registry scan result: ",
    "categories,", "Article", "Articles", "Junk file scan result:", "Junk files cannot be deleted   total",
    "File unable to delete", "More", "Completed!", "Rescan", "OK", "Size", "No need to clean up!",
    "Invalid Firewall", "Invalid MUI Cache", "Invalid Software Information", "Invalid DLL",
    "Invalid Uninstall Program", "Invalid Startup Item", "Invalid File Association", "File Extension History",
    "Temporary Files", "WINSXS Backup Cache", "IIS Log Files", "Server Client Caching", "Scan History", "Data Cache",
    "WINDOWS Read-ahead File", "Font Cache", "Memory Save File", "ManifestCache Cache", "Recycle Bin",
    "Thumbnail Cache", "Error Report", "Clean up completed!", "There is no trash to clean up!", "Window",
    "Number of files", "Total size", "Directory", "Page Number", "Page Location", "Page", "PREV", "NEXT",
    "Registry Cleanup", "Clean Junk Files", "Finish", "Tips", "A new version of Orvane is available",
    "Latest version", "current version", "Download :", "Version", "Show Window", "System Disk Cleanup",
    "One click to free up system disk space", "Latest Cleanup:", "Space to Clear:", "Local disk:", "Status:",
    "available:", "Release", "Cleaning up...", "Failed to retrieve disk data!", "Data exception!", "Cleanup done!",
    "Getting information...", "Not clear!", "No Garbage!", "Not cleaned up!", "Local Disk", "Selected Files",
    "Free up Space", "Location", "select", "Move", "Opening folder failed!",
    "Number of files that cannot be migrated", "Number of files successfully migrated", "Downloads Transfer",
    "Drive", "Data copy error!", "Choose a migration path!", "The migration completed!",
    "Failed to set download path!", "Invalid path address!", "Invalid download path!",
    "The paths cannot be the same!", "Analyzing Files...", "There are # matches in the box",
];

function table(file) {
    const text = fs.readFileSync(path.join(ui, file), "utf8");
    const lang = load("tis/lang-tool.tis");
    return { text, entries: lang.Lang.evaluate(text), lang };
}

test("the Chinese table translates all 182 keys, each written once", () => {
    assert.equal(new Set(CHINESE_KEYS).size, 182);
    const { text, entries } = table("tis/zh.tis");
    for (const key of CHINESE_KEYS) assert.ok(Object.hasOwn(entries, key), `no translation of "${key}"`);
    // Besides the keys, the about box's two legal lines, the texts of the
    // startup and service pages and the service log's popups, and the disk
    // page's "available" and "Select", and the version popup's failed check.
    const pages = ["Startup item management", "Name", "Status", "Mode", "Ban Rate", "Advice", "Author",
        "Maintain the Status", "Enable ", "Automatic(Delayed start)", "Operation successful.",
        "No operation service startup log was found!", "available", "Select", "The update check failed.",
        // The undo window.
        "Undo Changes", "Change", "Entries", "Registry clean", "Service start type", "Restored", "Backup gone",
        "This change was restored before.", "This change is no longer there.", "Its backup is gone.",
        "Files deleted by the junk cleaner cannot be restored.",
        "Restored. Entries that exist again were kept as they are.", "Startup entry switched off",
        "Startup entry switched on", "Downloads folder moved",
        "Restored. Settings changed since the move were kept as they are.",
        "Restored. The files stay in the folder they were moved to.",
        "Undoing a Downloads move points the folder back; the files stay where they are.",
        // The keep list: the detail window's Keep, the undo window's section.
        "Keep", "Keep list", "Kept files, folders and registry entries are never listed or deleted.", "Nothing is kept.",
        "Remove",
        // Why the service page changed no start type, and a restore that kept a later one.
        "This start type cannot be set.", "The service cannot be read.", "This is a driver: only services are changed.",
        "Its present start type could not be given back, so it is not changed.",
        "The change could not be recorded, so it was not made.", "The service manager refused the change.",
        "Its start type was changed since and is kept as it is.",
        // The keep list's refusals and what a start recovered from a damaged database.
        "The keep list cannot be read, so nothing is deleted. Please try again later.",
        "The keep list was lost with the damaged database, so nothing is deleted. Check the keep list in the undo " +
        "window, keep again what must stay, then confirm.", "Confirm",
        "The database could not be read. It was set aside, and a new one was made with what could still be read of it:",
        "Kept items recovered: #", "Kept startup entries recovered: #", "Undo records recovered: #",
        "(not all could be read)",
        // Restores the account may not make, and what the organisation's policy sets.
        "This change was made by another account: only that account can undo it.",
        "Undoing this change needs an administrator.",
        "Its backup is not in the program's Backups folder, so it is not read.",
        "Set by your organisation",
        // The main window's buttons and tiles, the message box's, the texts
        // the main window showed only in English, and the undo window's words.
        "Menu", "Minimize", "Close", "Maximize", "System Disk", "Service", "No", "Yes", "Junk File Cleaning",
        "No new version found.", "Operations are in progress, please wait...",
        "Your changes have been saved! Are you sure you want to restart your computer to apply the changes?",
        "Removed # invalid registry entries", "Turned off # at startup", "Turned on # at startup", "Changed # from # to #",
        "Moved Downloads from # to #", "Moved Downloads to #",
        // The junk page's group "Browsers and applications": its tiles and a held browser's note.
        "Browsers and applications", "Chrome Cache", "Edge Cache", "Brave Cache", "Vivaldi Cache", "Opera Cache",
        "Firefox Cache", "Shader Cache", "Crash Dumps",
        "Close Chrome to clean its cache", "Close Edge to clean its cache", "Close Brave to clean its cache",
        "Close Vivaldi to clean its cache", "Close Opera to clean its cache", "Close Firefox to clean its cache",
        // The names of the icon buttons, check boxes and other controls without a text of their own.
        "Select all", "Expand or collapse", "Open the folder",
        // A category the organisation's policy turns off, and a policy that cannot be read.
        "Turned off by your organisation", "The organisation's policy cannot be read, so nothing is scanned or cleaned."];
    for (const key of pages) assert.ok(Object.hasOwn(entries, key), `no translation of "${key}"`);
    assert.equal(Object.keys(entries).length, 184 + pages.length);
    const rows = (key) => text.split("\n").filter((row) => row.trimStart().startsWith(JSON.stringify(key) + ":")).length;
    for (const key of Object.keys(entries)) assert.equal(rows(key), 1, key);
    // As Windows writes them in Simplified Chinese.
    const telling = {
        OK: "确定", "items.": "项", Stop: "停止", "Registry scan result: ": "注册表问题：", "Junk file scan result:": "垃圾文件：",
        Tips: "提示", Article: "项", Articles: "条", "No need to clean up!": "没有需要清理的项目。", Promulgator: "发布者",
        Condition: "状态", "Starting Mode": "启动类型", Cancel: "取消", Exit: "退出",
    };
    for (const [key, value] of Object.entries(telling)) assert.equal(entries[key], value, key);
});

test("a counted text is a function of its number", () => {
    const { entries } = table("tis/zh.tis");
    const matches = entries["There are # matches in the box"];
    assert.equal(matches(0), "没有匹配");
    assert.equal(matches(1), "方框内仅有一个匹配");
    assert.equal(matches(7), "方框内有 7 匹配");
    const english = table("tis/en.tis").entries;
    assert.equal(english.OK, "OK");
    assert.equal(english["There are # matches in the box"](3), "There are 3 matches in the box");
});

test("the keep list's messages: a refused start, what a start recovered, a loss to confirm", () => {
    const page = load("tis/globalname.tis", "tis/resdef.tis", "tis/msgbox.tis");
    const shown = [];
    let confirmations = 0;
    page.PopupWindowsTest = (html, type, width, height, close, confirmed) => shown.push({ html, type, confirmed });
    page.view = { ConfirmKeepListLoss: () => { confirmations += 1; return 0; } };
    const unreadable = "The keep list cannot be read";
    const lost = "The keep list was lost with the damaged database";

    // A start refused for the keep list or the organisation's policy says
    // why; any other refusal, busy.
    const refusals = [[-4, 1, unreadable], [-5, 8, lost], [-6, 1, "The organisation's policy cannot be read"],
        [-7, 1, "Turned off by your organisation"], [0x20, 1, "Operations are in progress"], [-1, 1, "Operations are in progress"]];
    for (const [answer, type, text] of refusals) {
        page.StartRefusedWindow(answer);
        const [popup, ...more] = shown.splice(0);
        assert.equal(more.length, 0, `answer ${answer}`);
        assert.equal(popup.type, type, `answer ${answer}`);
        assert.ok(popup.html.includes(text), `answer ${answer}: ${popup.html}`);
        assert.equal(typeof popup.confirmed === "function", type === 8, `answer ${answer}`);
    }
    assert.equal(confirmations, 0);

    // At the start: the recovery (the path escaped, a part not whole marked),
    // with the loss and its Confirm when the keep list was lost.
    const recovery = { aside: "C:\\db\\<old>.db", keepList: [3, true], startupKept: [1, false], undo: [0, true] };
    const notices = [
        [undefined, null], [{ recovery: null, lost: null }, null], [{ recovery: "text", lost: null }, null],
        [{ recovery, lost: null }, 7], [{ recovery, lost: "C:\\db\\old.db" }, 8], [{ recovery: null, lost: "C:\\x.db" }, 8],
    ];
    for (const [notice, type] of notices) {
        page.ShowKeepListNotice(notice);
        const popups = shown.splice(0);
        assert.equal(popups.length, type === null ? 0 : 1, JSON.stringify(notice));
        if (type === null) continue;
        const [{ html, confirmed }] = popups;
        assert.equal(popups[0].type, type, JSON.stringify(notice));
        assert.equal(html.includes(lost), type === 8, html);
        if (notice.recovery) {
            assert.ok(html.includes("C:\\db\\&lt;old&gt;.db"), html);
            assert.ok(html.includes('<var value="3">Kept items recovered: #</var></p>'), html);
            assert.ok(html.includes('<var value="1">Kept startup entries recovered: #</var> <label>(not all could be read)</label>'), html);
            assert.equal(html.split("(not all could be read)").length, 2, html);
        }
        if (type === 8) confirmed();
    }
    assert.equal(confirmations, 2);
});

test("a language the documents have no table for is shown in English", () => {
    const main = load("tis/language.tis");
    // A window whose head declares the English and the Chinese table.
    const window = vm.createContext({
        document: { querySelectorAll: () => ["en", "zh"].map((id) => ({ getAttribute: () => id })) },
        self: {},
        console,
    });
    vm.runInContext(fs.readFileSync(path.join(ui, "tis/lang-tool.tis"), "utf8"), window);
    const cases = [["en", "en"], ["zh", "zh"], ["de", "en"], ["", "en"], [undefined, "en"], ["ZH", "en"], ["zh-CN", "en"],
        ["en'] , link[hreflang='zh", "en"]];
    for (const [id, shown] of cases) {
        assert.equal(main.ShownLanguage(id), shown, `main document: ${id}`);
        assert.equal(window.Lang.shown(id), shown, `window: ${id}`);
    }
});

// The language `id` as a window loads it from its head's tables.
function translateIn(id) {
    const links = ["en", "zh"].map((language) => ({ getAttribute: () => language, href: `tis/${language}.tis` }));
    const window = vm.createContext({
        document: { querySelectorAll: () => links, documentElement: { getAttribute: () => id } },
        XMLHttpRequest: class {
            open(method, address) { this.address = address; }
            send() { this.status = 200; this.responseText = fs.readFileSync(path.join(ui, this.address), "utf8"); }
        },
        self: {},
        console,
    });
    vm.runInContext(fs.readFileSync(path.join(ui, "tis/lang-tool.tis"), "utf8"), window);
    window.Lang.load(id);
    return window.Lang.translate;
}

test("the English table writes as Windows does; the seed's texts stay the keys", () => {
    const english = translateIn("en");
    const cases = [
        ["Promulgator", "Publisher"], ["Condition", "Status"], ["Starting Mode", "Startup type"], ["Ban Rate", "Disabled by"],
        ["Suggest Opening", "Recommended: on"], ["Must Open", "Required"], ["Maintain the Status", "Keep as is"],
        ["You have not made an overall scanning!", "You haven't scanned this PC yet"], ["A text of no table", "A text of no table"],
    ];
    for (const [key, shown] of cases) assert.equal(english(key), shown, key);
    // Each mark takes the next value, also in a text of no table; a value's own "#" stays.
    assert.equal(english("Changed # from # to #", ["Qo #1", "a", "b"]), "Changed Qo #1 from a to b");
    assert.equal(english("# of #", [1, 2]), "1 of 2");
});

test("the undo window says what changed in words, in English and in Chinese", () => {
    const page = load("tis/globalname.tis", "tis/resdef.tis", "tis/undo.tis");
    const english = translateIn("en");
    const chinese = translateIn("zh");
    const downloads = "C:\\Users\\ann\\Downloads";
    const cases = [
        ["registry", [], 12, "C:\\b\\r.reg", "Removed 12 invalid registry entries", "已删除 12 个无效的注册表项"],
        ["registry", [], 1, "C:\\b\\r.reg", "Removed 1 invalid registry entry", "已删除 1 个无效的注册表项"],
        ["startup-off", ["OneDrive"], 1, "OneDrive", "Turned off OneDrive at startup", "已关闭 OneDrive 的开机启动"],
        ["startup-on", ["OneDrive"], 1, "OneDrive", "Turned on OneDrive at startup", "已开启 OneDrive 的开机启动"],
        ["service", ["Print Spooler", "2", "3"], 1, "Spooler 2 -> 3", "Changed Print Spooler from Automatic to Manual",
            "已将 Print Spooler 从“自动”更改为“手动”"],
        ["service", ["Qo #1", "10", "4"], 1, "Qo 10 -> 4", "Changed Qo #1 from Automatic (Delayed Start) to Disabled",
            "已将 Qo #1 从“自动(延迟启动)”更改为“已禁用”"],
        ["service", ["Qo", "7", "4"], 1, "Qo 7 -> 4", "Changed Qo from 7 to Disabled", "已将 Qo 从“7”更改为“已禁用”"],
        ["downloads", [downloads, "D:\\Downloads"], 3, "", `Moved Downloads from ${downloads} to D:\\Downloads`,
            `已将“下载”文件夹从 ${downloads} 移到 D:\\Downloads`],
        ["downloads", ["", "D:\\Downloads"], 3, "", "Moved Downloads to D:\\Downloads", "已将“下载”文件夹移到 D:\\Downloads"],
        // What the window cannot put in words shows the journal's text.
        ["service", ["Qo"], 1, "Qo 2 -> 3", "Qo 2 -> 3", "Qo 2 -> 3"],
        ["later-kind", undefined, 0, "x -> y", "x -> y", "x -> y"],
    ];
    for (const [kind, subject, entries, what, inEnglish, inChinese] of cases) {
        assert.equal(page.ChangeWords(kind, subject, entries, what, english), inEnglish, `${kind} ${subject}`);
        assert.equal(page.ChangeWords(kind, subject, entries, what, chinese), inChinese, `${kind} ${subject}`);
    }
});
