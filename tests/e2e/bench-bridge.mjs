// Drives the program's page from headless Chromium and prints the figures of
// the bridge: the round trip of a native call (median and 99th percentile
// over 2000 calls of GetPopupZoneBit) and the script callbacks that a worker
// gets delivered and answered per second.
// usage: node bench-bridge.mjs ROUND_TRIP_ADDRESS CALLBACK_ADDRESS PROFILE_FOLDER
import { chromium } from "playwright-core";

const [roundTripAddress, callbackAddress, profile] = process.argv.slice(2);
const calls = 2000;
const callbacks = 2000;

const browser = await chromium.launch({
    executablePath: "/usr/bin/chromium",
    args: [
        "--headless",
        "--no-sandbox",
        "--disable-gpu",
        "--disable-quic",
        "--no-first-run",
        "--disable-background-networking",
        "--disable-component-update",
        "--disable-sync",
        `--user-data-dir=${profile}`,
    ],
});

function percentile(sorted, share) {
    return sorted[Math.min(sorted.length - 1, Math.ceil(share * sorted.length) - 1)];
}

try {
    const page = await browser.newPage();
    await page.goto(roundTripAddress);
    const times = await page.evaluate((count) => {
        for (let i = 0; i < 100; ++i) view.GetPopupZoneBit();
        const taken = [];
        for (let i = 0; i < count; ++i) {
            const start = performance.now();
            if (view.GetPopupZoneBit() !== 0) throw new Error("unexpected answer");
            taken.push(performance.now() - start);
        }
        return taken;
    }, calls);
    times.sort((a, b) => a - b);
    console.log(`bridge call round trip (${calls} calls of GetPopupZoneBit): ` +
        `median ${percentile(times, 0.5).toFixed(3)} ms, p99 ${percentile(times, 0.99).toFixed(3)} ms`);
    await page.evaluate(() => view.close()).catch(() => {});

    const callbackPage = await browser.newPage();
    await callbackPage.goto(callbackAddress);
    const result = await callbackPage.evaluate((count) => new Promise((resolve) => {
        let seen = 0;
        window.Tick = () => { ++seen; };
        window.BenchDone = (delivered, milliseconds) => resolve({ delivered, milliseconds, seen });
        view.RunCallbacks(count);
    }), callbacks);
    const perSecond = result.delivered * 1000 / Math.max(1, result.milliseconds);
    console.log(`callbacks delivered and answered: ${result.delivered} of ${callbacks} in ` +
        `${result.milliseconds} ms, ${perSecond.toFixed(0)} per second`);
    await callbackPage.evaluate(() => view.close()).catch(() => {});
} finally {
    await browser.close();
}
