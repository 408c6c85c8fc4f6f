// A reporter for node's test runner that writes a JUnit report in the shape
// scripts/test.sh adds up: one <testsuites> header with the counts, one
// <testcase> per test (suites are not counted), <skipped/> for skipped ones.
function escape(text) {
    return String(text).replace(/[<>&"]/g, (c) => ({ "<": "&lt;", ">": "&gt;", "&": "&amp;", '"': "&quot;" })[c]);
}

export default async function* junitReporter(source) {
    const cases = [];
    for await (const event of source) {
        if (event.type !== "test:pass" && event.type !== "test:fail") continue;
        const data = event.data;
        if (data.details && data.details.type === "suite") continue;
        const error = data.details && data.details.error;
        cases.push({
            name: data.name,
            suite: data.file ? data.file.split("/").pop() : "e2e",
            seconds: ((data.details && data.details.duration_ms) || 0) / 1000,
            skipped: Boolean(data.skip || data.todo),
            failure: event.type === "test:fail" ? String((error && (error.cause || error).message) || error || "failed") : null,
        });
    }
    const failures = cases.filter((c) => c.failure).length;
    let xml = `<?xml version="1.0" encoding="UTF-8"?>\n<testsuites tests="${cases.length}" failures="${failures}" errors="0" name="e2e">\n`;
    for (const c of cases) {
        xml += `  <testcase classname="${escape(c.suite)}" name="${escape(c.name)}" time="${c.seconds.toFixed(3)}">`;
        if (c.failure) xml += `<failure message="${escape(c.failure)}"/>`;
        else if (c.skipped) xml += "<skipped/>";
        xml += "</testcase>\n";
    }
    yield xml + "</testsuites>\n";
}
