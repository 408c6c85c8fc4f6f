// Every text the documents show has a translation in both tables: the
// documents' markup and their scripts are read for the texts they show, and
// each must be a key of tis/en.tis and of tis/zh.tis. Markup text outside a
// translated element (label, dfn, var) is a text no table can reach.
// usage: QO_UI_SOURCE=src/ui node --test units_texts.test.mjs
import { test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import vm from "node:vm";

const ui = process.env.QO_UI_SOURCE;
const read = (file) => fs.readFileSync(path.join(ui, file), "utf8");

function tableOf(file) {
    const context = vm.createContext({ document: { addEventListener() {} }, self: {}, console });
    vm.runInContext(read("tis/lang-tool.tis"), context);
    return context.Lang.evaluate(read(file));
}

const DOCUMENTS = fs.readdirSync(ui).filter((name) => /\.html?$/.test(name));
const SCRIPTS = [...fs.readdirSync(ui).filter((name) => /\.(tis|js)$/.test(name)),
    ...fs.readdirSync(path.join(ui, "tis")).filter((name) => /\.tis$/.test(name) && !/^(en|zh)\.tis$/.test(name))
        .map((name) => "tis/" + name),
    "css/plus.tis"];

const NATIVE_REASONS = "../services/service_change.cpp";

// Shown as they are in every language: the product's names, numbers with
// their units, a drive letter, punctuation.
const AS_WRITTEN = /^(Quillmark Orvane|Quillmark|Orvane|[A-Z]|[\d.,:%()/#\s-]*( ?(B|KB|MB|GB|TB))?[\d.,:%()/#\s-]*)$/;

// Script literals shaped like sentences that no user sees: class lists,
// errors thrown to the console.
const NOT_SHOWN = new Set(["FileIcon file-icon", "TdAmend button-text2", "Lang: no translation table for '", "Lang: the table "]);

// The texts of markup: those of translated elements and attributes, and the
// stray ones (text outside a translated element).
const TRANSLATED = new Set(["label", "dfn", "var"]);
const VOID = new Set(["meta", "link", "img", "input", "br", "hr", "source"]);
function markupTexts(html) {
    const texts = [];
    const stray = [];
    const stack = [];
    const source = html.replace(/<!--[\s\S]*?-->|<!DOCTYPE[^>]*>/gi, "").replace(/<(script|style|title)\b[\s\S]*?<\/\1>/gi, "");
    const token = /<\/?([A-Za-z][\w-]*)([^>]*)>|([^<]+)/g;
    let match;
    while ((match = token.exec(source))) {
        const [whole, tag, attributes, text] = match;
        if (text !== undefined) {
            const value = text.replace(/&amp;/g, "&").replace(/&nbsp;/g, " ");
            if (!value.trim()) continue;
            const inside = stack.some((open) => TRANSLATED.has(open.tag) || /\b(dfn|var)\b/.test(open.cls));
            if (inside && !AS_WRITTEN.test(value.trim())) texts.push(value);
            else if (!AS_WRITTEN.test(value.trim())) stray.push(value.trim());
            continue;
        }
        const name = tag.toLowerCase();
        if (whole.startsWith("</")) {
            const at = stack.map((open) => open.tag).lastIndexOf(name);
            if (at >= 0) stack.length = at;
            continue;
        }
        for (const [, attribute, value] of attributes.matchAll(/\b(title|novalue|alt|placeholder)="([^"]*)"/g))
            if (value.trim() && !AS_WRITTEN.test(value.trim())) texts.push(value.trim());
        const cls = (attributes.match(/\bclass="([^"]*)"/) || [])[1] || "";
        if (!VOID.has(name) && !whole.endsWith("/>")) stack.push({ tag: name, cls });
    }
    return { texts, stray };
}

// The string literals of a script, comments left out; a literal ending in
// "+" continues in the next one.
const LITERALS = vm.createContext({});
function literals(script) {
    const found = [];
    const token = new RegExp([/\/\/[^\n]*|\/\*[\s\S]*?\*\//.source,
        // A regular expression, which may hold quotes.
        /(?<=[(,=:[!&|?{};]\s*)\/(?![*/])(?:[^/\\\n[]|\\.|\[(?:[^\]\\\n]|\\.)*\])+\/[gimsuy]*/.source,
        /("(?:[^"\\\n]|\\.)*"|'(?:[^'\\\n]|\\.)*')/.source].join("|"), "g");
    let match;
    let joined = false;  // the literal before ends in "+" and continues in this one
    while ((match = token.exec(script))) {
        if (!match[1]) continue;
        const value = vm.runInContext(match[1], LITERALS);
        if (joined) found[found.length - 1] += value;
        else found.push(value);
        joined = /^\s*\+\s*["']/.test(script.slice(token.lastIndex));
    }
    return found;
}

// A literal a user reads: words (a capital first), spaces and punctuation,
// no markup or code; or any literal that is a key of a table.
const SENTENCE = /^[A-Z][\w'’ ,.!?:;()…#-]*$/;
function scriptTexts(script, keys) {
    const texts = [];
    for (const literal of literals(script)) {
        const markup = markupTexts(literal.replace(/<\/?[A-Za-z][^>]*$/, "").replace(/^[^<]*>/, ""));
        texts.push(...markup.texts);
        const words = literal.trim();
        if (keys.has(literal) || (SENTENCE.test(words) && /[a-z]/.test(words) && / [A-Za-z]|[.!?:]$/.test(words) &&
            !/[a-z][A-Z]/.test(words.replace(/ManifestCache/g, "")) && !NOT_SHOWN.has(literal) && !AS_WRITTEN.test(words)))
            texts.push(literal);
    }
    return texts;
}

const english = tableOf("tis/en.tis");
const chinese = tableOf("tis/zh.tis");
const keys = new Set([...Object.keys(english), ...Object.keys(chinese)]);

function shownTexts() {
    const shown = new Map();
    const add = (text, where) => shown.set(text, [...(shown.get(text) || []), where]);
    const stray = [];
    for (const file of DOCUMENTS) {
        const html = read(file);
        const markup = markupTexts(html);
        markup.texts.forEach((text) => add(text, file));
        markup.stray.forEach((text) => stray.push(file + ": " + text));
        for (const [, script] of html.matchAll(/<script>([\s\S]*?)<\/script>/g)) scriptTexts(script, keys).forEach((text) => add(text, file));
    }
    for (const file of SCRIPTS) scriptTexts(read(file), keys).forEach((text) => add(text, file));
    // The program's own answers the page shows as keys: why a service's
    // start type was not changed.
    for (const [, text] of read(NATIVE_REASONS).matchAll(/return L"([^"]+)";/g)) add(text, NATIVE_REASONS);
    return { shown, stray };
}

test("the reader finds texts in markup, in script literals and in the tables' keys, and stray markup text", () => {
    const markup = markupTexts('<p><label>Scan All</label> 12 MB <span class="dfn">Tips</span><b>Loose words</b>' +
        '<button title="Close"></button><img alt=""></p>');
    assert.deepEqual(markup, { texts: ["Scan All", "Tips", "Close"], stray: ["Loose words"] });
    const script = 'TipsWindow("Opening folder failed!"); SetHtml("CleanSize", "<label>" + message + "</label>");\n' +
        'var x = "<p><label>Version</label> " + v; Hide("ReadyLoad"); var c = "FileIcon file-icon"; // "Not this."\n' +
        'var t = { 2: "Automatic" }; var r = "url(a.png) no-repeat";';
    assert.deepEqual(scriptTexts(script, new Set(["Automatic"])), ["Opening folder failed!", "Version", "Automatic"]);
});

test("every text the documents show has an English and a Chinese translation", () => {
    const { shown, stray } = shownTexts();
    assert.deepEqual(stray, [], "markup text outside a translated element");
    assert.ok(shown.size > 200, `only ${shown.size} texts found`);
    const missing = [];
    for (const [text, files] of shown) {
        for (const [language, table] of [["en", english], ["zh", chinese]])
            if (!Object.hasOwn(table, text)) missing.push(`${language}: ${JSON.stringify(text)} (${[...new Set(files)].join(", ")})`);
    }
    assert.deepEqual(missing, []);
});

test("a translation keeps the number marks of its key", () => {
    for (const [language, table] of [["en", english], ["zh", chinese]]) {
        for (const [key, value] of Object.entries(table)) {
            if (typeof value === "function") {
                assert.equal(typeof value(2), "string", `${language}: ${key}`);
                continue;
            }
            const marks = (text) => text.split("#").length - 1;
            assert.equal(marks(value), marks(key), `${language}: ${key} -> ${value}`);
        }
    }
});
