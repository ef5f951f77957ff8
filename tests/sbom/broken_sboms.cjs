// Each check of check_sbom.cjs fails on a bill of materials broken its way,
// and the one given passes as it is.
// Usage: node broken_sboms.cjs PACKAGE_DIR SBOM.json
const fs = require("fs");
const path = require("path");
const { check } = require("./check_sbom.cjs");

const BROKEN = [
  ["a bad timestamp", (b) => (b.metadata.timestamp = "2026-13-45T25:61:00Z"), /^schema: \/metadata\/timestamp /],
  ["GPL-3+", (b) => (b.components[0].licenses[0].expression = "GPL-3+"), /licence "GPL-3\+" is not an SPDX expression/],
  ["a dangling reference", (b) => b.dependencies[0].dependsOn.push("pkg:deb/debian/nowhere@1"), /reference "pkg:deb\/debian\/nowhere@1" points nowhere/],
  ["a bom-ref given twice", (b) => (b.components[1]["bom-ref"] = b.components[0]["bom-ref"]), /given twice/],
  ["a missing BSI property",
   (b) => (b.components[0].properties = b.components[0].properties.filter((p) => p.name !== "bsi:component:archive")),
   /^BSI: components\[0\] .* lacks bsi:component:archive/],
  ["a purl with a bare +", (b) => (b.components[0].purl = b.components[0].purl.replace(/%2B/g, "+")), /^purl .* does not name /],
  ["a creator without e-mail address or URL", (b) => delete b.metadata.manufacturer.url, /^BSI: the SBOM's creator has no e-mail address or URL$/],
];

(async () => {
  const [modules, file] = process.argv.slice(2);
  const text = fs.readFileSync(file, "utf8");
  const where = path.resolve(modules, "node_modules");
  let failures = 0;
  const good = await check(text, where);
  if (good.length) {
    console.log(`the SBOM as built fails: ${good.join("; ")}`);
    failures++;
  }
  for (const [what, breakIt, expected] of BROKEN) {
    const bom = JSON.parse(text);
    breakIt(bom);
    const problems = await check(JSON.stringify(bom), where);
    const caught = problems.some((p) => expected.test(p));
    console.log(`${caught ? "caught" : "MISSED"}: ${what}${caught ? "" : ` (said: ${problems.join("; ") || "nothing"})`}`);
    if (!caught) failures++;
  }
  process.exit(failures ? 1 : 0);
})();
