// The plain functions of the startup and service pages and the service log:
// records and their labels, the entries taken from native answers, the start
// type a button asks for, the sort orders.
// usage: QO_UI_SOURCE=src/ui node --test units_pages.test.mjs
import { test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import vm from "node:vm";

const ui = process.env.QO_UI_SOURCE;
const context = vm.createContext({ document: { addEventListener() {} }, self: {}, console });
for (const file of ["tis/globalname.tis", "tis/resdef.tis", "tis/startingup.tis"])
    vm.runInContext(fs.readFileSync(path.join(ui, file), "utf8"), context, { filename: file });
const plain = (value) => JSON.parse(JSON.stringify(value));

// [display name, service name, path, start type, serial, description, advice, ban rate, start time, category, state]
const service = (startType, advice, banRate) => ["Print Spooler", "Spooler", "C:\\spoolsv.exe", startType, 7, "Prints.", advice, banRate, 0, 1, 4];

test("a service record labels its start type, its button, its advice and its ban rate", () => {
    const cases = [
        [[10, 0, 0], "<label>Automatic(Delayed start)</label>", "<label>Disable</label>", "<label>Maintain the Status</label>", "--"],
        [[2, 1, 35], "<label>Automatic</label>", "<label>Disable</label>", "<label>Must Open</label>", "35%"],
        [[3, 2, 100], "<label>Manual</label>", "<label>Disable</label>", "<label>Suggest Opening</label>", "100%"],
        [[4, 3, 5], "<label>Disabled</label>", "<label>Enable </label>", "<label>Suggest Disabling</label>", "5%"],
        [[0, 4, 0], "", "", "", "--"],
        [[1, 0, 0], "", "", "<label>Maintain the Status</label>", "--"],
        [[5, -1, 0], "", "", "", "--"],
    ];
    for (const [[startType, advice, banRate], state, button, suggest, rate] of cases) {
        assert.deepEqual(plain(context.ServiceRecord(service(startType, advice, banRate))), {
            index: 7, FileName: "Print Spooler", BanRate: rate, AuthorName: "Spooler", ATState: state, ATSuggest: suggest, ButtonTxt: button,
        }, `type ${startType}, advice ${advice}`);
    }
});

test("a log record shows the type before the change in the log window's words", () => {
    const cases = [[10, "<label>Automatic(delayed start)</label>"], [2, "<label>Automatic</label>"], [3, "<label>Manual</label>"],
        [4, "<label>Disabled</label>"], [0, ""], [1, ""]];
    for (const [before, state] of cases) {
        const entry = ["Print Spooler", "Spooler", "C:\\spoolsv.exe", 4, 12, "Prints.", before, 4, "07/03/2021 09:05:03"];
        assert.deepEqual(plain(context.LogRecord(entry)), {
            index: 12, FileName: "Print Spooler", AuthorName: "Spooler", ATState: state, OperationTime: "07/03/2021 09:05:03",
            ButtonTxt: "<label>Restore</label>",
        }, `before ${before}`);
    }
});

test("only entries with the expected number of values are taken from an answer", () => {
    const five = ["App", "Maker", "C:\\app.exe", 0, 0];
    const cases = [
        [[five, ["App", "Maker", "C:\\app.exe", 1], five.concat([9])], 5, 5, [five]],
        [[service(2, 0, 0), service(2, 0, 0).slice(0, 9), "text", null], 10, Infinity, [service(2, 0, 0)]],
        [undefined, 9, 9, []],
        [0, 9, 9, []],
        ["[]", 9, 9, []],
    ];
    for (const [answer, least, most, entries] of cases)
        assert.deepEqual(plain(context.ValidEntries(answer, least, most)), entries, JSON.stringify(answer));
});

test("a service's button asks for automatic when it is disabled, else for disabled", () => {
    const cases = [[10, 4], [2, 4], [3, 4], [4, 2], [0, 0], [1, 0], [5, 0], [undefined, 0]];
    for (const [startType, requested] of cases) assert.equal(context.RequestedStartType(startType), requested, `type ${startType}`);
});

test("services sort by a value, larger or smaller first, keeping the order of equals", () => {
    const entries = [["Beta", "b", "", 2, 0, "", 1, 35], ["alpha", "a", "", 3, 1, "", 3, 0], ["Gamma", "g", "", 4, 2, "", 1, 80],
        ["Delta", "d", "", 2, 3, "", 0, 35]];
    const serials = (sorted) => sorted.map((entry) => entry[4]);
    assert.deepEqual(serials(context.SortedServices(entries, 7, true)), [2, 0, 3, 1]);
    assert.deepEqual(serials(context.SortedServices(entries, 7, false)), [1, 0, 3, 2]);
    assert.deepEqual(serials(context.SortedServices(entries, 6, true)), [1, 0, 2, 3]);
    assert.deepEqual(serials(context.SortedServices(entries, 0, false)), [0, 3, 2, 1]);
    assert.deepEqual(serials(entries), [0, 1, 2, 3]);
});

test("a header's click gives the order, the toggle's next state and the header's look", () => {
    const advice = { member: 6, larger: true };
    const cases = [
        [1, "ServiceAdviceSort", advice, 2, "tr-bg-top"],
        [2, "ServiceAdviceSort", null, 1, "tr-bg-bottom"],
        [1, "ServiceBanSort", { member: 7, larger: true }, 2, "tr-bg-top"],
        [2, "ServiceBanSort", { member: 7, larger: false }, 1, "tr-bg-bottom"],
        [1, "ServiceNameSort", { member: 0, larger: false }, 2, "tr-bg-top"],
        [2, "ServiceNameSort", null, 1, "tr-bg-bottom"],
    ];
    for (const [state, header, order, next, look] of cases)
        assert.deepEqual(plain(context.ServiceSortStep(state, header)), { order, state: next, look }, `${header} in state ${state}`);
});

test("a native answer is shown in the order chosen; without one, and any other answer, as it is", () => {
    const entries = [["Beta", "b", "", 2, 0, "", 1, 35], ["alpha", "a", "", 3, 1, "", 3, 0], ["Gamma", "g", "", 4, 2, "", 1, 80]];
    const serials = (shown) => shown.map((entry) => entry[4]);
    assert.deepEqual(serials(context.OrderedServices(entries, { member: 6, larger: true })), [1, 0, 2]);
    assert.deepEqual(serials(context.OrderedServices(entries, { member: 7, larger: false })), [1, 0, 2]);
    assert.deepEqual(serials(context.OrderedServices(entries, null)), [0, 1, 2]);
    assert.equal(context.OrderedServices(undefined, { member: 6, larger: true }), undefined);
    assert.equal(context.OrderedServices("[]", { member: 6, larger: true }), "[]");
});
