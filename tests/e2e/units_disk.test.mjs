// The system disk page's plain functions, run from their own script files:
// whole-number sizes, the drive figures, the download folders, the tree's
// selection and sizes, the checks of a move target and the move's result.
// usage: QO_UI_SOURCE=src/ui node --test units_disk.test.mjs
import { test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import vm from "node:vm";

const ui = process.env.QO_UI_SOURCE;
const context = vm.createContext({ document: { addEventListener() {} }, self: {}, console });
for (const file of ["tis/globalname.tis", "tis/resdef.tis", "tree-data-source.tis", "virtual-tree.tis", "tis/diskclean.tis"])
    vm.runInContext(fs.readFileSync(path.join(ui, file), "utf8"), context, { filename: file });
// Values made in the scripts' realm, compared as plain data.
const plain = (value) => JSON.parse(JSON.stringify(value));

test("TransformMB cuts the size to a whole number in the largest unit below 1024", () => {
    const cases = [
        [0, "0 B"], [1023, "1023 B"], [1024, "1 KB"], [1536, "1 KB"], [1048575, "1023 KB"], [1048576, "1 MB"],
        [536870912000, "500 GB"], [1610612736, "1 GB"], [2 ** 40, "1 TB"], [2 ** 50, "1024 TB"], [undefined, "0 B"],
    ];
    for (const [size, text] of cases) assert.equal(context.TransformMB(size), text, `size ${size}`);
});

test("the drive figures fail on a missing answer and on a total of 0 or below the free bytes", () => {
    const failed = { failure: "Failed to retrieve disk data!" };
    const exception = { failure: "Data exception!" };
    const cases = [
        [undefined, failed], [null, failed], ["C:", failed], [["C:", "1"], failed],
        [["C:", "0", "0"], exception], [["C:", "200", "100"], exception], [["C:", "", "abc"], exception],
        [["C:", "25", "100"], { drive: "C", free: 25, total: 100, usage: 75 }],
        [["D:", "abc", "1024"], { drive: "D", free: 0, total: 1024, usage: 100 }],
        [["C:", "100", "100"], { drive: "C", free: 100, total: 100, usage: 0 }],
    ];
    for (const [answer, figures] of cases) assert.deepEqual(plain(context.DiskFiguresOf(answer)), figures, JSON.stringify(answer));
});

test("the download folders are the paths longer than two characters of a readable answer", () => {
    const three = JSON.stringify([
        { first: "EdgeDownloadDir", second: "" },
        { first: "Win10DownloadDir", second: "C:\\Users\\U\\Downloads" },
        { first: "Win10DownloadDir3", second: "D:\\Dl" },
    ]);
    const cases = [
        [three, ["C:\\Users\\U\\Downloads", "D:\\Dl"]],
        [JSON.stringify([{ second: "C:" }, { second: "C:\\" }]), ["C:\\"]],
        [JSON.stringify([{ first: "x" }, { second: 12345 }, null]), []],
        [undefined, []], ["", []], ["not json", []], ["{}", []], ["[", []],
    ];
    for (const [text, folders] of cases) assert.deepEqual(plain(context.DownloadFoldersOf(text)), folders, String(text));
});

// [path, kind, check mark, children, size]
const child = (name, kind, checked, size = -1) => ["C:\\Users\\U\\Downloads/" + name, kind, checked, [], size];
const downloads = (checked, children) => ["C:\\Users\\U\\Downloads", 1, checked, children, -1];

test("the selection: a checked root alone, else the checked children of an unchecked root", () => {
    const cases = [
        [[downloads(1, [child("setup.exe", 0, 1), child("photos", 1, 1)])], ["C:\\Users\\U\\Downloads"]],
        [[downloads(0, [child("setup.exe", 0, 1), child("photos", 1, 0), child("music", 1, 1)])],
            ["C:\\Users\\U\\Downloads/setup.exe", "C:\\Users\\U\\Downloads/music"]],
        [[downloads(0, [child("photos", 1, 0)])], []],
        [[downloads(1, []), ["D:\\Dl", 1, 0, [["D:\\Dl/a.txt", 0, 1, [], -1]], -1]], ["C:\\Users\\U\\Downloads", "D:\\Dl/a.txt"]],
        [[], []],
    ];
    for (const [roots, paths] of cases)
        assert.deepEqual(plain(new context.TreeDataSource(roots).GetAllSelectFile()), paths, JSON.stringify(roots));
});

test("a root's mark when the marks are copied: checked when every option inside it is, also when it has none", () => {
    const option = (mark) => ({ getAttribute: () => mark });
    const cases = [
        [[], "true"], [["true", "true"], "true"], [["true", "false"], "mixed"], [["false", "false"], "false"],
    ];
    for (const [marks, root] of cases) assert.equal(context.RootMark(marks.map(option)), root, marks.join());
    // An empty folder then counts as selected, with nothing to add up.
    const empty = new context.TreeDataSource([downloads(1, [])]);
    assert.deepEqual(plain(empty.GetAllSelectFile()), ["C:\\Users\\U\\Downloads"]);
    assert.equal(empty.GetSelectSize(), 0);
});

test("the selected size adds the checked children and stays unknown while one of them is", () => {
    const cases = [
        [[downloads(1, [child("a", 0, 1, "100"), child("b", 1, 1, "2048")])], 2148],
        [[downloads(0, [child("a", 0, 1, "100"), child("b", 1, 0, "2048")])], 100],
        [[downloads(0, [child("a", 0, 1, "100"), child("b", 1, 0)])], 100],
        [[downloads(1, [child("a", 0, 1, "100"), child("b", 1, 1)])], -1],
        [[downloads(0, [child("a", 0, 0)]), ["D:\\Dl", 1, 1, [["D:\\Dl/x", 0, 1, [], "7"]], "999"]], 7],
    ];
    for (const [roots, size] of cases) assert.equal(new context.TreeDataSource(roots).GetSelectSize(), size, JSON.stringify(roots));
});

test("sizes arriving find their nodes by the path the native side writes with backslashes", () => {
    const roots = [
        downloads(1, [child("setup.exe", 0, 1), child("photos", 1, 1), child("notes.txt", 0, 1)]),
        ["D:/Dl", 1, 1, [["D:/Dl/a.txt", 0, 1, [], -1]], -1],
    ];
    const source = new context.TreeDataSource(roots);
    source.updateFileOrDirSize([
        ["C:\\Users\\U\\Downloads", "5000"],
        ["C:\\Users\\U\\Downloads\\setup.exe", "1234"],
        ["C:\\Users\\U\\Downloads\\photos", 0],
        ["C:\\Users\\U\\Downloads\\notes.txt"],
        ["C:\\Users\\U\\Downloads\\elsewhere.txt", "9"],
        ["D:\\Dl\\a.txt", "12"],
        "not a pair",
    ]);
    source.updateFileOrDirSize(undefined);
    assert.deepEqual(plain(roots.map((root) => [root[4], ...root[3].map((node) => node[4])])),
        [["5000", "1234", "0", -1], [-1, "12"]]);
    assert.equal(source.GetSelectSize(), -1);
});

test("a move target must name a folder from a drive's root and not be a download folder", () => {
    const folders = ["C:\\Users\\U\\Downloads", "D:\\Dl"];
    const cases = [
        ["D:/", ""], ["D:/Downloads", ""], ["E:/Dl/more", ""],
        ["", "Choose a migration path!"],
        ["D:", "Invalid path address!"], ["Documents", "Invalid path address!"], ["D:\\Moved", "Invalid path address!"],
        ["D:Moved", "Invalid path address!"], ["//server/share", "Invalid path address!"],
        ["C:/Users/U/Downloads", "The paths cannot be the same!"], ["c:/users/u/DOWNLOADS", "The paths cannot be the same!"],
        ["D:/Dl", "The paths cannot be the same!"],
    ];
    for (const [target, refusal] of cases) assert.equal(context.MoveTargetRefusal(target, folders), refusal, target);
});

test("a move target may neither lie inside a selected entry nor hold one", () => {
    const folders = ["C:\\Users\\U\\Downloads"];
    const sources = ["C:\\Users\\U\\Downloads\\photos", "C:\\Users\\U\\Downloads\\setup.exe"];
    const cases = [
        ["D:/Dl", ""], ["C:/Users/U/Downloads/photos2", ""], ["C:/Users/U/Downloads/New", ""],
        ["C:/Users/U/Downloads/photos", "Invalid path address!"], ["c:/users/u/downloads/PHOTOS/2021", "Invalid path address!"],
        ["C:/Users/U/Downloads/setup.exe/x", "Invalid path address!"],
        ["C:/", "Invalid path address!"], ["C:/Users/u", "Invalid path address!"],
    ];
    for (const [target, refusal] of cases) assert.equal(context.MoveTargetRefusal(target, folders, sources), refusal, target);
});

test("the move's counters and its result: moved files in green, files left behind in red", () => {
    for (const answer of [undefined, [0, 1], [0, 0, 0, 0, 0, "0", "100"], [0, 0, 0, 0, 0, "0", 1.5]])
        assert.equal(context.MoveCountersOf(answer), null, JSON.stringify(answer));
    const cases = [
        [[2, 3, 0, 3, 5, "3000", 100], ["Number of files successfully migrated: 3.", "Number of files that cannot be migrated: 2."]],
        [[0, 4, 1, 3, 4, "4000", 100], ["Number of files successfully migrated: 4.", "Number of files that cannot be migrated: 1.",
            "Number of files that cannot be migrated: 0."]],
    ];
    for (const [answer, paragraphs] of cases) {
        const counters = context.MoveCountersOf(answer);
        assert.equal(counters.bytes, Number(answer[5]));
        const html = context.MoveResultHtml(counters);
        const texts = [...html.matchAll(/<p>(.*?)<\/p>/g)].map((match) => match[1].replace(/<[^>]+>/g, ""));
        assert.deepEqual(texts, paragraphs);
        const colours = [...html.matchAll(/class="(move-good|move-bad)"/g)].map((match) => match[1]);
        assert.deepEqual(colours, ["move-good", ...paragraphs.slice(1).map(() => "move-bad")]);
    }
});
