// Drives the program's page from headless Chromium and prints the figures of
// the bridge: the round trip of a native call (median and 99th percentile
// over 2000 calls of GetPopupZoneBit) and the script callbacks delivered and
// answered per second, for one worker whose every callback waits for the
// page's answer before the next, and for four such workers at once. For
// scale it also times the same synchronous request against a server in this
// Node process that answers at once: what the browser itself costs per
// request on this machine.
// usage: node bench-bridge.mjs ROUND_TRIP_ADDRESS CALLBACK_ADDRESS PROFILE_FOLDER
import http from "node:http";
import { chromium } from "playwright-core";

const [roundTripAddress, callbackAddress, profile] = process.argv.slice(2);
const calls = 2000;
const callbacks = 2000;

// A fresh profile folder: Playwright passes it as --user-data-dir.
const browser = await chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: [
        "--headless",
        "--no-sandbox",
        "--disable-gpu",
        "--disable-quic",
        "--no-first-run",
        "--disable-background-networking",
        "--disable-component-update",
        "--disable-sync",
    ],
});

function percentile(sorted, share) {
    return sorted[Math.min(sorted.length - 1, Math.ceil(share * sorted.length) - 1)];
}

function report(what, times) {
    times.sort((a, b) => a - b);
    console.log(`${what}: median ${percentile(times, 0.5).toFixed(3)} ms, p99 ${percentile(times, 0.99).toFixed(3)} ms`);
}

// Times `count` synchronous calls of `call` (a function source) in the page.
function timeCalls(page, call, count) {
    return page.evaluate(([source, count]) => {
        const call = new Function(source);
        for (let i = 0; i < 100; ++i) call();
        const taken = [];
        for (let i = 0; i < count; ++i) {
            const start = performance.now();
            call();
            taken.push(performance.now() - start);
        }
        return taken;
    }, [call, count]);
}

const baseline = http.createServer((request, response) => response.end("[0]"));
await new Promise((listening) => baseline.listen(0, "127.0.0.1", listening));
try {
    const page = await browser.newPage();
    await page.goto(roundTripAddress);
    report(`bridge call round trip (${calls} calls of GetPopupZoneBit)`,
        await timeCalls(page, "if (view.GetPopupZoneBit() !== 0) throw new Error('unexpected answer');", calls));
    await page.evaluate(() => view.close()).catch(() => {});

    const scale = await browser.newPage();
    await scale.goto(`http://127.0.0.1:${baseline.address().port}/`);
    report(`for scale, ${calls} synchronous requests to a server that answers at once`,
        await timeCalls(scale, "const r = new XMLHttpRequest(); r.open('POST', '/call', false); r.send('{}');", calls));

    const callbackPage = await browser.newPage();
    await callbackPage.goto(callbackAddress);
    for (const workers of [1, 4]) {
        const result = await callbackPage.evaluate(([count, workers]) => new Promise((resolve) => {
            let seen = 0;
            window.Tick = () => { ++seen; };
            window.BenchDone = (delivered, milliseconds) => resolve({ delivered, milliseconds, seen });
            view.RunCallbacks(count, workers);
        }), [callbacks, workers]);
        const perSecond = result.delivered * 1000 / Math.max(1, result.milliseconds);
        console.log(`callbacks delivered and answered, ${workers} worker${workers > 1 ? "s" : ""}: ` +
            `${result.delivered} of ${callbacks} in ${result.milliseconds} ms, ${perSecond.toFixed(0)} per second`);
    }
    await callbackPage.evaluate(() => view.close()).catch(() => {});
} finally {
    await browser.close();
    baseline.close();
}
