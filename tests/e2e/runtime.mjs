// Uses the page runtime's `view` as the documents will: synchronous native
// calls, failed calls raised in the script, the address's one-time token
// spent and gone from the address, callbacks from a native worker
// (the size worker's SetFileOrDirSize) that call back into the native side,
// the callback channel held by one page while a second one waits its turn,
// and view.close(). Exits non-zero on the first failed check.
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
    // callbacks start: SetFileOrDirSize also records what a native call
    // answers from inside the callback.
    const recordSizes = () => {
        window.sizes = [];
        document.addEventListener("DOMContentLoaded", () => {
            const documentSizes = window.SetFileOrDirSize;
            window.SetFileOrDirSize = function (pairs) {
                window.sizes.push([pairs, view.GetPopupZoneBit()]);
                if (documentSizes) documentSizes(pairs);
            };
        });
    };
    await page.addInitScript(recordSizes);
    const first = await page.goto(address);
    assert.equal(first.status(), 200);
    // The one-time token leaves the page's address at once; a reload
    // presents the cookie the first load set.
    assert.equal(await page.evaluate(() => location.search), "");
    assert.equal(page.url(), address.slice(0, address.indexOf("?")));
    assert.equal((await page.context().cookies()).find((cookie) => cookie.name.startsWith("qo_")).httpOnly, true);

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

    // A worker's callback reaches the page, which calls the native side from it.
    assert.equal(await page.evaluate(() => view.GetFileOrDirSize([])), 0);
    await page.waitForFunction(() => window.sizes.length === 1, null, { timeout: 60000 });
    assert.deepEqual(await page.evaluate(() => window.sizes[0]), [[], 0]);

    // The address opens no second page; the page's own address, without the
    // token, does with the cookie. That second page gets no callbacks while
    // the first holds the channel, and takes it over once the first is gone.
    const second = await browser.newPage();
    await second.addInitScript(recordSizes);
    assert.equal((await second.goto(address)).status(), 403);
    assert.equal((await second.goto(page.url())).status(), 200);
    await page.evaluate(() => view.GetFileOrDirSize([]));
    await page.waitForFunction(() => window.sizes.length === 2, null, { timeout: 60000 });
    assert.equal(await second.evaluate(() => window.sizes.length), 0);
    await page.close();
    await second.evaluate(() => view.GetFileOrDirSize([]));
    await second.waitForFunction(() => window.sizes.length === 1, null, { timeout: 60000 });

    await second.evaluate(() => view.close());
} finally {
    await browser.close();
}
