// Draws the images of the UI archive (src/ui/images, the icons of src/ui)
// from the vector drawings below: headless Chromium renders each drawing and
// the PNG is written with a transparent background. Run it after changing a
// drawing and commit the images; the build packs them as they are.
// usage: node draw_images.mjs E2E_FOLDER UI_FOLDER
//   E2E_FOLDER: the folder where scripts/setup.sh installed playwright-core
import { createRequire } from "node:module";
import fs from "node:fs";
import path from "node:path";

const [e2eFolder, uiFolder] = process.argv.slice(2);
const { chromium } = createRequire(path.join(path.resolve(e2eFolder), "package.json"))("playwright-core");

const TEAL = ["#26c6b9", "#0e9690"];
const GREEN = ["#3ad58a", "#17a35a"];
const AMBER = ["#ffc44d", "#e8930c"];
const RED = ["#ff7a7a", "#d93b3b"];
const BLUE = ["#5fb0ff", "#2c6fd6"];
const PURPLE = ["#b38cff", "#7450d6"];
const SLATE = ["#8fa3b8", "#5a6f86"];

let gradientId = 0;
function gradient(colors) {
    const id = "g" + ++gradientId;
    return {
        id,
        def: `<linearGradient id="${id}" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="${colors[0]}"/><stop offset="1" stop-color="${colors[1]}"/></linearGradient>`,
    };
}

// A rounded tile in a colour with a white drawing on it (48 x 48 units).
function badge(colors, glyph) {
    const g = gradient(colors);
    return `<defs>${g.def}</defs><rect x="2" y="2" width="44" height="44" rx="11" fill="url(#${g.id})"/>` +
        `<g fill="none" stroke="#fff" stroke-width="3" stroke-linecap="round" stroke-linejoin="round">${glyph}</g>`;
}
// A round badge.
function disc(colors, glyph) {
    const g = gradient(colors);
    return `<defs>${g.def}</defs><circle cx="24" cy="24" r="22" fill="url(#${g.id})"/>` +
        `<g fill="none" stroke="#fff" stroke-width="3.2" stroke-linecap="round" stroke-linejoin="round">${glyph}</g>`;
}
// A plain line drawing in one colour.
function line(color, glyph, width = 3) {
    return `<g fill="none" stroke="${color}" stroke-width="${width}" stroke-linecap="round" stroke-linejoin="round">${glyph}</g>`;
}

const G = {
    broom: `<path d="M30 10 L22 24"/><path d="M14 24 h16 l3 14 h-22 z" fill="rgba(255,255,255,.25)"/><path d="M17 31 v6 M22 31 v6 M27 31 v6"/>`,
    registry: `<rect x="11" y="11" width="11" height="11" rx="2"/><rect x="26" y="11" width="11" height="11" rx="2"/><rect x="11" y="26" width="11" height="11" rx="2"/><rect x="28" y="28" width="9" height="9" rx="2" transform="rotate(15 32 32)"/>`,
    disk: `<rect x="9" y="14" width="30" height="20" rx="4"/><path d="M9 26 h30"/><circle cx="32" cy="30" r="1.2" fill="#fff"/><path d="M14 30 h8"/>`,
    rocket: `<path d="M24 8 c7 5 9 13 6 22 h-12 c-3 -9 -1 -17 6 -22 z"/><circle cx="24" cy="19" r="3"/><path d="M18 26 l-5 6 h7 M30 26 l5 6 h-7 M21 34 l3 6 l3 -6"/>`,
    gears: `<circle cx="20" cy="22" r="6"/><path d="M20 10 v4 M20 30 v4 M8 22 h4 M28 22 h4 M11.5 13.5 l2.8 2.8 M25.7 27.7 l2.8 2.8 M11.5 30.5 l2.8 -2.8 M25.7 16.3 l2.8 -2.8"/><circle cx="33" cy="34" r="4"/>`,
    magnifier: `<circle cx="21" cy="21" r="9"/><path d="M28 28 l9 9"/>`,
    shieldCheck: `<path d="M24 8 l13 5 v10 c0 9 -6 15 -13 18 c-7 -3 -13 -9 -13 -18 v-10 z"/><path d="M18 24 l5 5 l8 -9"/>`,
    shieldBang: `<path d="M24 8 l13 5 v10 c0 9 -6 15 -13 18 c-7 -3 -13 -9 -13 -18 v-10 z"/><path d="M24 16 v10"/><circle cx="24" cy="31.5" r="1" fill="#fff"/>`,
    shieldCross: `<path d="M24 8 l13 5 v10 c0 9 -6 15 -13 18 c-7 -3 -13 -9 -13 -18 v-10 z"/><path d="M19 19 l10 10 M29 19 l-10 10"/>`,
    check: `<path d="M14 24 l7 7 l13 -14"/>`,
    cross: `<path d="M16 16 l16 16 M32 16 l-16 16"/>`,
    trash: `<path d="M13 15 h22 M20 15 v-3 h8 v3 M15 15 l2 22 h14 l2 -22 M21 20 v12 M27 20 v12"/>`,
    doc: `<path d="M14 8 h14 l8 8 v24 h-22 z M28 8 v8 h8"/>`,
    docLines: `<path d="M14 8 h14 l8 8 v24 h-22 z M28 8 v8 h8 M19 24 h12 M19 30 h12"/>`,
    clockDoc: `<path d="M12 8 h13 l7 7 v8 M12 8 v30 h10"/><circle cx="32" cy="32" r="8"/><path d="M32 28 v4 l3 2"/>`,
    archive: `<rect x="9" y="11" width="30" height="8" rx="2"/><path d="M11 19 v17 h26 v-17 M20 25 h8"/>`,
    server: `<rect x="10" y="10" width="28" height="11" rx="2"/><rect x="10" y="25" width="28" height="11" rx="2"/><path d="M15 15.5 h4 M15 30.5 h4"/><circle cx="33" cy="15.5" r="1" fill="#fff"/><circle cx="33" cy="30.5" r="1" fill="#fff"/>`,
    monitor: `<rect x="8" y="10" width="32" height="21" rx="3"/><path d="M18 38 h12 M24 31 v7 M16 24 l5 -5 l4 4 l7 -7"/>`,
    history: `<circle cx="25" cy="25" r="12"/><path d="M25 18 v7 l5 3 M8 14 v7 h7 M9 21 a16 16 0 0 1 3 -6"/>`,
    shieldArrows: `<path d="M24 8 l13 5 v10 c0 9 -6 15 -13 18 c-7 -3 -13 -9 -13 -18 v-10 z"/><path d="M18 25 a6 6 0 0 1 11 -3 M30 23 a6 6 0 0 1 -11 3 M29 18 v4 h-4"/>`,
    bolt: `<path d="M27 7 l-12 19 h9 l-3 15 l12 -20 h-9 z"/>`,
    fontA: `<path d="M14 36 l10 -26 l10 26 M18 27 h12"/>`,
    chip: `<rect x="14" y="14" width="20" height="20" rx="3"/><rect x="20" y="20" width="8" height="8"/><path d="M19 9 v5 M24 9 v5 M29 9 v5 M19 34 v5 M24 34 v5 M29 34 v5 M9 19 h5 M9 24 h5 M9 29 h5 M34 19 h5 M34 24 h5 M34 29 h5"/>`,
    list: `<path d="M17 14 h19 M17 24 h19 M17 34 h19"/><circle cx="12" cy="14" r="1.2" fill="#fff"/><circle cx="12" cy="24" r="1.2" fill="#fff"/><circle cx="12" cy="34" r="1.2" fill="#fff"/>`,
    recycle: `<path d="M14 16 h20 M17 16 l1.5 21 h11 l1.5 -21 M21 12 h6"/><path d="M21 27 l3 -4 l3 4 M24 23 v8"/>`,
    images: `<rect x="9" y="9" width="13" height="13" rx="2"/><rect x="26" y="9" width="13" height="13" rx="2"/><rect x="9" y="26" width="13" height="13" rx="2"/><rect x="26" y="26" width="13" height="13" rx="2"/>`,
    warningDoc: `<path d="M24 9 l16 28 h-32 z"/><path d="M24 19 v9"/><circle cx="24" cy="32.5" r="1" fill="#fff"/>`,
    lockDoc: `<path d="M12 8 h13 l7 7 v6 M12 8 v30 h10"/><rect x="25" y="28" width="14" height="11" rx="2"/><path d="M28 28 v-3 a4 4 0 0 1 8 0 v3"/>`,
    wall: `<rect x="9" y="11" width="30" height="26" rx="2"/><path d="M9 19.5 h30 M9 28 h30 M18 11 v8.5 M30 11 v8.5 M24 19.5 v8.5 M14 28 v9 M34 28 v9"/>`,
    globe: `<circle cx="24" cy="24" r="14"/><path d="M10 24 h28 M24 10 c-6 8 -6 20 0 28 c6 -8 6 -20 0 -28"/>`,
    box: `<path d="M24 9 l14 7 v16 l-14 7 l-14 -7 v-16 z M10 16 l14 7 l14 -7 M24 23 v16"/>`,
    puzzle: `<path d="M12 16 h7 a4 4 0 1 1 8 0 h7 v7 a4 4 0 1 1 0 8 v7 h-22 z"/>`,
    power: `<path d="M24 9 v13 M16 14 a13 13 0 1 0 16 0"/>`,
    boxMinus: `<path d="M24 9 l14 7 v16 l-14 7 l-14 -7 v-16 z M10 16 l14 7 l14 -7"/><path d="M19 30 h10"/>`,
    fileLink: `<path d="M14 8 h14 l8 8 v24 h-22 z M28 8 v8 h8"/><path d="M20 30 l8 -8 M22 22 h6 v6"/>`,
    wrench: `<path d="M30 9 a9 9 0 0 0 -8 12 l-12 12 a3 3 0 0 0 5 5 l12 -12 a9 9 0 0 0 12 -8 l-5 5 l-5 -1 l-1 -5 z"/>`,
    gear: `<circle cx="24" cy="24" r="6"/><path d="M24 9 v5 M24 34 v5 M9 24 h5 M34 24 h5 M13.4 13.4 l3.5 3.5 M31.1 31.1 l3.5 3.5 M13.4 34.6 l3.5 -3.5 M31.1 16.9 l3.5 -3.5"/>`,
    house: `<path d="M9 23 l15 -13 l15 13 M13 20 v17 h22 v-17 M21 37 v-9 h6 v9"/>`,
    up: `<path d="M24 35 v-21 M15 22 l9 -9 l9 9"/>`,
    folder: `<path d="M8 15 v20 h32 v-17 h-16 l-4 -4 h-11 z"/>`,
    folderOpen: `<path d="M8 15 v20 h28 l5 -13 h-28 l-5 13 M36 22 v-4 h-12 l-4 -4 h-12"/>`,
};

// name: [width, height, drawing in a 48 x 48 view box (or its own view box)]
const I = {};
const icon = (name, size, svg, viewBox = "0 0 48 48") => { I[name] = { w: size[0], h: size[1], svg, viewBox }; };

// Title bar and window buttons: white drawings for the teal bars.
const white = (glyph, width = 3) => line("#ffffff", glyph, width);
const whiteHover = (glyph) => line("#e0fffb", glyph, 3.6);
icon("images/header1.png", [20, 20], white(`<path d="M15 15 l18 18 M33 15 l-18 18"/>`));
icon("images/header1-hover.png", [20, 20], whiteHover(`<path d="M15 15 l18 18 M33 15 l-18 18"/>`));
icon("images/header2.png", [20, 20], white(`<path d="M14 30 h20"/>`));
icon("images/header2-hover.png", [20, 20], whiteHover(`<path d="M14 30 h20"/>`));
icon("images/header3.png", [20, 20], white(`<path d="M13 16 h22 M13 24 h22 M13 32 h22"/>`));
icon("images/header3-hover.png", [20, 20], whiteHover(`<path d="M13 16 h22 M13 24 h22 M13 32 h22"/>`));
icon("images/nav-icon.png", [20, 20], line("#243447", `<path d="M13 16 h22 M13 24 h22 M13 32 h22"/>`));
for (const [suffix, color] of [["", "#ffffff"], ["-hover", "#e0fffb"], ["-active", "#bff3ee"]]) {
    icon(`images/max${suffix}.png`, [20, 20], line(color, `<rect x="14" y="14" width="20" height="20" rx="2"/>`));
    icon(`images/min${suffix}.png`, [20, 20], line(color, `<rect x="12" y="18" width="17" height="17" rx="2"/><path d="M19 18 v-5 h17 v17 h-7"/>`));
    icon(`images/header-window${suffix === "-hover" ? "-hover" : suffix === "-active" ? "-active" : ""}.png`, [20, 20],
        line(color, `<rect x="10" y="12" width="28" height="24" rx="3"/><path d="M10 19 h28"/>`));
}

// Home tiles and actions.
icon("images/home-clean.png", [56, 56], badge(TEAL, G.broom));
icon("images/home-clean2.png", [56, 56], badge(GREEN, G.broom));
icon("images/home-clean3.png", [56, 56], badge(SLATE, G.broom));
icon("images/clean-home.png", [48, 48], badge(TEAL, G.broom));
icon("images/clean.png", [32, 32], badge(TEAL, G.broom));
icon("images/clean11.png", [48, 48], disc(AMBER, G.cross));
icon("images/home-registry.png", [56, 56], badge(BLUE, G.registry));
icon("images/home-registry2.png", [56, 56], badge(GREEN, G.registry));
icon("images/home-registry3.png", [56, 56], badge(SLATE, G.registry));
icon("images/reg_home.png", [22, 22], badge(BLUE, G.registry));
icon("images/home-disk.png", [56, 56], badge(PURPLE, G.disk));
icon("images/disk.png", [32, 32], badge(PURPLE, G.disk));
icon("images/home-icon.png", [56, 56], badge(AMBER, G.rocket));
icon("images/home-icon2.png", [56, 56], badge(SLATE, G.gears));
icon("images/home.png", [32, 32], badge(TEAL, G.house));
icon("images/home-scan.png", [48, 48], disc(TEAL, G.magnifier));
icon("images/home-scan2.png", [48, 48], disc(GREEN, G.magnifier));
icon("images/home-scan3.png", [48, 48], disc(BLUE, G.magnifier));
icon("images/home-scan4.png", [48, 48], disc(SLATE, G.magnifier));
icon("images/san.png", [32, 32], disc(TEAL, G.magnifier));
icon("images/junkclean-icon.png", [22, 22], badge(TEAL, G.trash));
icon("images/repair.png", [32, 32], badge(BLUE, G.wrench));
icon("images/repair111.png", [32, 32], badge(SLATE, G.wrench));
icon("images/cfg.png", [24, 24], line("#5a6f86", G.gear));
icon("images/all-tab.png", [24, 24], line("#0e9690", G.list));
icon("images/log.png", [24, 24], badge(SLATE, G.docLines));
icon("images/servicelog.png", [24, 24], badge(SLATE, G.docLines));
icon("images/servicelog-hover.png", [24, 24], badge(TEAL, G.docLines));
icon("images/file.png", [24, 24], line("#5a6f86", G.doc));
icon("images/file2.png", [24, 24], line("#0e9690", G.docLines));
icon("images/folder.png", [22, 22], line("#0e9690", G.folder));
icon("images/foldeopen.png", [22, 22], line("#e8930c", G.folderOpen));
icon("images/carry-out.png", [64, 64], disc(GREEN, G.check));
icon("images/upgrade.png", [48, 48], disc(RED, G.up));
icon("images/enableditem.png", [40, 22],
    `<rect x="1" y="1" width="38" height="20" rx="10" fill="#15b3ab"/><circle cx="29" cy="11" r="8" fill="#fff"/>`, "0 0 40 22");
icon("images/enableditem111.png", [40, 22],
    `<rect x="1" y="1" width="38" height="20" rx="10" fill="#c4cfd9"/><circle cx="11" cy="11" r="8" fill="#fff"/>`, "0 0 40 22");
icon("images/return-bottom.png", [16, 16], line("#0e9690", `<path d="M20 14 l-9 9 l9 9 M12 23 h16 a9 9 0 0 1 0 18 h-4"/>`, 4));
icon("images/return-bottom-hover.png", [16, 16], line("#0a6f6a", `<path d="M20 14 l-9 9 l9 9 M12 23 h16 a9 9 0 0 1 0 18 h-4"/>`, 4.5));
icon("images/triangle.png", [10, 10], `<path d="M12 16 h24 l-12 16 z" fill="#6b7a8c"/>`);
icon("images/drop-down.png", [10, 10], line("#6b7a8c", `<path d="M18 12 l12 12 l-12 12"/>`, 6));
icon("images/drown.png", [22, 22], line("#6b7a8c", `<path d="M16 20 l8 8 l8 -8"/>`));
icon("images/drown-hover.png", [22, 22], line("#0e9690", `<path d="M16 20 l8 8 l8 -8"/>`));
icon("images/drown2.png", [22, 22], line("#6b7a8c", `<path d="M16 28 l8 -8 l8 8"/>`));
icon("images/drown2-hover.png", [22, 22], line("#0e9690", `<path d="M16 28 l8 -8 l8 8"/>`));
icon("images/checkbox.png", [18, 18], `<rect x="1" y="1" width="16" height="16" rx="4" fill="#15b3ab"/>` +
    line("#fff", `<path d="M5 9.5 l2.8 2.8 l5.2 -6"/>`, 2), "0 0 18 18");
icon("images/checkbox_1.png", [18, 18], `<rect x="1" y="1" width="16" height="16" rx="4" fill="#15b3ab"/>` +
    line("#fff", `<path d="M5 9 h8"/>`, 2), "0 0 18 18");
icon("images/uncheckbox.png", [18, 18], `<rect x="1.5" y="1.5" width="15" height="15" rx="4" fill="#fff" stroke="#b7c3ce" stroke-width="1.5"/>`, "0 0 18 18");
icon("images/tr-bg.png", [8, 32], `<rect width="8" height="32" fill="#ffffff"/><rect y="31" width="8" height="1" fill="#e3e8ee"/>`, "0 0 8 32");
icon("images/tr-bg2.png", [8, 32], `<rect width="8" height="32" fill="#f5f8fa"/><rect y="31" width="8" height="1" fill="#e3e8ee"/>`, "0 0 8 32");

// The logo: a quill over a shield.
const logo = (() => {
    const g = gradient(["#2fd0bf", "#0e8f89"]);
    return `<defs>${g.def}</defs><path d="M24 3 l18 7 v13 c0 12 -8 20 -18 24 c-10 -4 -18 -12 -18 -24 v-13 z" fill="url(#${g.id})"/>` +
        `<path d="M31 12 c-9 2 -15 10 -16 22 l3 -2 c1 -5 4 -9 8 -12 c-3 4 -5 8 -6 11 c6 -3 10 -10 11 -19 z" fill="#fff"/>`;
})();
icon("images/logo.png", [48, 48], logo);

// Health: three shields in distinct colours and marks.
icon("images/homegood.png", [140, 140], disc(GREEN, G.shieldCheck));
icon("images/homemedium.png", [140, 140], disc(AMBER, G.shieldBang));
icon("images/homebad.png", [140, 140], disc(RED, G.shieldCross));
icon("images/home_bad.png", [64, 64], disc(RED, G.shieldCross));
icon("images/home_medium.png", [64, 64], disc(AMBER, G.shieldBang));

// Backgrounds.
icon("images/bg.png", [300, 200], `<path d="M0 200 C80 150 160 190 300 110 V200 Z" fill="#15b3ab" opacity=".07"/>` +
    `<path d="M60 200 C140 170 220 200 300 150 V200 Z" fill="#15b3ab" opacity=".08"/>` +
    `<circle cx="260" cy="40" r="60" fill="#15b3ab" opacity=".05"/>`, "0 0 300 200");
icon("images/bg2.png", [300, 120], `<path d="M0 120 C90 80 180 120 300 60 V120 Z" fill="#2c6fd6" opacity=".06"/>`, "0 0 300 120");

// Spinners: 11 frames of 120 x 120 side by side.
function sprite(colors, glyph) {
    const g = gradient(colors);
    let frames = `<defs>${g.def}</defs>`;
    for (let k = 0; k < 11; ++k) {
        const angle = (k * 360) / 11;
        frames += `<g transform="translate(${k * 120} 0)"><circle cx="60" cy="60" r="52" fill="#eef8f7"/>` +
            `<circle cx="60" cy="60" r="44" fill="none" stroke="#d7ece9" stroke-width="8"/>` +
            `<circle cx="60" cy="60" r="44" fill="none" stroke="url(#${g.id})" stroke-width="8" stroke-linecap="round" ` +
            `stroke-dasharray="90 190" transform="rotate(${angle - 90} 60 60)"/>` +
            `<g transform="translate(36 36)"><g fill="none" stroke="${colors[1]}" stroke-width="3.4" stroke-linecap="round" stroke-linejoin="round">${glyph}</g></g></g>`;
    }
    return frames;
}
icon("images/home_gif.png", [1320, 120], sprite(TEAL, G.magnifier), "0 0 1320 120");
icon("images/homejunk-gif.png", [1320, 120], sprite(GREEN, G.broom), "0 0 1320 120");
icon("images/homereg-gif.png", [1320, 120], sprite(BLUE, G.registry), "0 0 1320 120");

// The loading screen, the size of the main window.
icon("images/loading.png", [842, 582],
    `<rect width="842" height="582" fill="#ffffff"/><path d="M0 582 C200 500 420 560 842 430 V582 Z" fill="#15b3ab" opacity=".08"/>` +
    `<g transform="translate(373 170) scale(2)">${logo.replace(/g\d+/g, "lg")}</g>` +
    `<text x="421" y="318" text-anchor="middle" font-family="DejaVu Sans, sans-serif" font-size="30" font-weight="600" fill="#243447">Quillmark Orvane</text>` +
    `<rect x="321" y="352" width="200" height="6" rx="3" fill="#e6ecf1"/><rect x="321" y="352" width="120" height="6" rx="3" fill="#15b3ab"/>`,
    "0 0 842 582");

// Junk categories.
const junk = {
    "temporary_files": [TEAL, G.clockDoc], backupcache: [BLUE, G.archive], iislog: [SLATE, G.server],
    server: [PURPLE, G.monitor], scanhistory: [BLUE, G.history], protectupdatecache: [GREEN, G.shieldArrows],
    prefetchcache: [AMBER, G.bolt], textcache: [PURPLE, G.fontA], internalstorage: [TEAL, G.chip],
    manifestcache: [SLATE, G.list], recyclebin: [GREEN, G.recycle], thumbnailcache: [BLUE, G.images],
    errorreport: [RED, G.warningDoc], nodelete: [RED, G.lockDoc],
};
for (const [name, [colors, glyph]] of Object.entries(junk)) icon(`images/junkimg/${name}.png`, [48, 48], badge(colors, glyph));
const registry = {
    firewall: [RED, G.wall], log: [BLUE, G.globe], software: [PURPLE, G.box], dll: [TEAL, G.puzzle],
    uninstall: [AMBER, G.boxMinus], start: [GREEN, G.power], file: [SLATE, G.fileLink], history: [BLUE, G.history],
};
for (const [name, [colors, glyph]] of Object.entries(registry)) icon(`images/regimg/${name}.png`, [48, 48], badge(colors, glyph));

// ---- Writing ---------------------------------------------------------------------
// An icon file holding one 32 x 32 PNG image.
function icoOf(png) {
    const header = Buffer.alloc(22);
    header.writeUInt16LE(0, 0);
    header.writeUInt16LE(1, 2);
    header.writeUInt16LE(1, 4);
    header.writeUInt8(32, 6);
    header.writeUInt8(32, 7);
    header.writeUInt16LE(1, 10);
    header.writeUInt16LE(32, 12);
    header.writeUInt32LE(png.length, 14);
    header.writeUInt32LE(22, 18);
    return Buffer.concat([header, png]);
}

// A GIF of one frame from RGBA pixels with a 2-colour palette (mark or not):
// codes of 9 bits, the table cleared before it grows.
function gifOf(width, height, isMark, mark) {
    const bytes = [];
    const out = (...values) => bytes.push(...values);
    out(...Buffer.from("GIF89a"), width & 255, width >> 8, height & 255, height >> 8, 0xf0, 0, 0);
    out(255, 255, 255, ...mark);
    out(0x21, 0xf9, 4, 1, 0, 0, 0, 0);
    out(0x2c, 0, 0, 0, 0, width & 255, width >> 8, height & 255, height >> 8, 0);
    out(8);
    const codes = [256];
    let run = 0;
    for (let i = 0; i < width * height; ++i) {
        codes.push(isMark(i % width, Math.floor(i / width)) ? 1 : 0);
        if (++run === 250) {
            codes.push(256);
            run = 0;
        }
    }
    codes.push(257);
    const packed = [];
    let buffer = 0, bits = 0;
    for (const code of codes) {
        buffer |= code << bits;
        bits += 9;
        while (bits >= 8) {
            packed.push(buffer & 255);
            buffer >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) packed.push(buffer & 255);
    for (let i = 0; i < packed.length; i += 255) {
        const block = packed.slice(i, i + 255);
        out(block.length, ...block);
    }
    out(0, 0x3b);
    return Buffer.from(bytes);
}

const browser = await chromium.launch({
    executablePath: "/usr/bin/chromium",
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking"],
});
try {
    const page = await browser.newPage({ deviceScaleFactor: 1 });
    for (const [name, { w, h, svg, viewBox }] of Object.entries(I)) {
        await page.setContent(`<html><body style="margin:0;background:transparent">` +
            `<svg xmlns="http://www.w3.org/2000/svg" width="${w}" height="${h}" viewBox="${viewBox}">${svg}</svg></body></html>`);
        const png = await page.locator("svg").screenshot({ omitBackground: true });
        const file = path.join(uiFolder, name);
        fs.mkdirSync(path.dirname(file), { recursive: true });
        fs.writeFileSync(file, png);
        if (name === "images/logo.png") {
            await page.setContent(`<html><body style="margin:0;background:transparent">` +
                `<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 48 48">${svg}</svg></body></html>`);
            const small = await page.locator("svg").screenshot({ omitBackground: true });
            for (const ico of ["icon.ico", "tidewell.ico", "images/tidewell.ico"]) fs.writeFileSync(path.join(uiFolder, ico), icoOf(small));
        }
    }
    // The loading animation's still: a ring with a gap.
    fs.writeFileSync(path.join(uiFolder, "images/loading.gif"), gifOf(32, 32, (x, y) => {
        const r = Math.hypot(x - 15.5, y - 15.5);
        return r > 10 && r < 14 && !(x > 16 && y < 15);
    }, [0x15, 0xb3, 0xab]));
    console.log(`${Object.keys(I).length + 4} images written into ${uiFolder}`);
} finally {
    await browser.close();
}
