// Uses the page runtime's `view` as the documents will: synchronous native
// calls, failed calls raised in the script, callbacks from a native worker
// (the update check's UpgradeTips) that call back into the native side, and
// view.close(). Exits non-zero on the first failed check.
// usage: node runtime.mjs PAGE_ADDRESS PROFILE_FOLDER
import { chromium } from "playwright-core";
import assert from "node:assert/strict";

const [address, profile] = process.argv.slice(2);
const browser = await chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync"],
});
try {
    const page = await browser.newPage();
    // Once the document's scripts have defined their functions and before its
    // callbacks start: UpgradeTips also records what a native call answers
    // from inside the callback.
    await page.addInitScript(() => {
        window.tips = [];
        document.addEventListener("DOMContentLoaded", () => {
            const documentTips = window.UpgradeTips;
            window.UpgradeTips = function (show) {
                window.tips.push([show, view.GetPopupZoneBit()]);
                if (documentTips) documentTips(show);
            };
        });
    });
    await page.goto(address);

    const calls = await page.evaluate(() => {
        const raised = (call) => {
            try {
                call();
                return "nothing";
            } catch (error) {
                return error.constructor.name;
            }
        };
        return {
            zoneBits: view.GetPopupZoneBit(),
            copyNumber: view.GetCopyNumber(0),
            version: view.GetAppVersion(),
            textMode: view.FinishOtherOperate("2"),
            sameWindow: view.parent.GetPopupZoneBit(),
            wrongCount: raised(() => view.GetPopupZoneBit(1)),
            unknown: raised(() => view.NoSuchFunction()),
            wrongCase: raised(() => view.getpopupzonebit()),
        };
    });
    assert.deepEqual(calls.zoneBits, 0);
    assert.deepEqual(calls.copyNumber, [0, 0, 0, 0, 0, "0", 100]);
    assert.equal(calls.version.length, 2);
    assert.equal(calls.textMode, 4);
    assert.equal(calls.sameWindow, 0);
    assert.equal(calls.wrongCount, "TypeError");
    assert.equal(calls.unknown, "TypeError");
    assert.equal(calls.wrongCase, "TypeError");

    // The update server cannot be reached here: the check shows its notice.
    await page.waitForFunction(() => window.tips.length > 0, null, { timeout: 60000 });
    assert.deepEqual(await page.evaluate(() => window.tips[0]), [1, 0]);

    await page.evaluate(() => view.close());
} finally {
    await browser.close();
}
