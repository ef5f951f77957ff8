// Checks a bill of materials offline and strictly: against the CycloneDX 1.6
// JSON schema that CycloneDX's own library ships, then for what a schema
// cannot hold: licences that are SPDX expressions, bom-refs given once and
// pointing somewhere, and the fields that BSI TR-03183-2 v2.1.0 requires.
// Usage: node check_sbom.cjs PACKAGE_DIR SBOM.json
const fs = require("fs");
const path = require("path");

const BSI_FLAGS = {
  "bsi:component:executable": ["executable", "non-executable"],
  "bsi:component:archive": ["archive", "no archive"],
  "bsi:component:structured": ["structured", "unstructured"],
};

// Every component, the top one and those nested in others, with where it stands.
function allComponents(bom) {
  const found = [];
  const walk = (component, where) => {
    found.push({ component, where });
    (component.components || []).forEach((c, i) => walk(c, `${where}.components[${i}]`));
  };
  if (bom.metadata && bom.metadata.component) walk(bom.metadata.component, "metadata.component");
  (bom.components || []).forEach((c, i) => walk(c, `components[${i}]`));
  return found;
}

// BSI asks for an e-mail address or a URL of each creator.
const reachable = (entity) =>
  !!entity && ((entity.url || []).length > 0 || (entity.contact || []).some((c) => c.email));

async function check(text, modules) {
  const { Spec, Validation } = require(path.join(modules, "@cyclonedx/cyclonedx-library"));
  const parse = require(path.join(modules, "spdx-expression-parse"));
  const problems = [];
  const schema = await new Validation.JsonStrictValidator(Spec.Version.v1dot6).validate(text);
  for (const e of schema || []) problems.push(`schema: ${e.instancePath || "/"} ${e.message}`);
  const bom = JSON.parse(text);
  const components = allComponents(bom);

  // Licences: SPDX expressions, LicenseRef- names for what SPDX lacks.
  for (const { component, where } of components) {
    const choices = [...(component.licenses || []), ...((component.evidence || {}).licenses || [])];
    for (const choice of choices) {
      if (!choice.expression) continue;
      try {
        parse(choice.expression);
      } catch (e) {
        problems.push(`${where}: licence "${choice.expression}" is not an SPDX expression`);
      }
    }
  }

  // References: each bom-ref once, and every reference to one that exists.
  const refs = new Set();
  for (const { component, where } of components) {
    if (!component["bom-ref"]) continue;
    if (refs.has(component["bom-ref"])) problems.push(`${where}: bom-ref "${component["bom-ref"]}" given twice`);
    refs.add(component["bom-ref"]);
  }
  const pointing = [];
  for (const d of bom.dependencies || []) pointing.push(d.ref, ...(d.dependsOn || []));
  for (const c of bom.compositions || []) pointing.push(...(c.dependencies || []), ...(c.assemblies || []));
  for (const ref of pointing) if (!refs.has(ref)) problems.push(`reference "${ref}" points nowhere`);

  // BSI TR-03183-2 v2.1.0, section 5.2: the SBOM's own fields ...
  const metadata = bom.metadata || {};
  if (!reachable(metadata.manufacturer)) problems.push("BSI: the SBOM's creator has no e-mail address or URL");
  if (!metadata.timestamp) problems.push("BSI: the SBOM has no timestamp");
  if (!/^urn:uuid:/.test(bom.serialNumber || "") || !bom.version) problems.push("BSI: no SBOM-URI (serialNumber and version)");
  if ("vulnerabilities" in bom) problems.push("BSI: an SBOM holds no vulnerabilities");
  // ... and each component's.
  const dependencyRefs = new Set((bom.dependencies || []).map((d) => d.ref));
  const completeness = new Set((bom.compositions || []).flatMap((c) => c.dependencies || []));
  for (const { component, where } of components) {
    const top = where === "metadata.component";
    const properties = component.properties || [];
    const missing = [];
    if (!component.name) missing.push("name");
    if (!component.version) missing.push("version");
    if (!reachable(component.manufacturer)) missing.push("creator's e-mail address or URL");
    if (properties.filter((p) => p.name === "bsi:component:filename").length !== 1) missing.push("bsi:component:filename");
    for (const [name, values] of Object.entries(BSI_FLAGS)) {
      const given = properties.filter((p) => p.name === name);
      if (given.length !== 1 || !values.includes(given[0].value)) missing.push(`${name} (one of: ${values.join(", ")})`);
    }
    const isPackage = where.split(".").length === 1; // a package, not the exe or a file in it
    if ((top || !isPackage) && !(component.hashes || []).some((h) => h.alg === "SHA-512")) missing.push("SHA-512 hash");
    if (!top) {
      if (!component.purl) missing.push("purl");
      // A package's purl names it: its name and version encoded, so that a
      // reader who takes "+" for a blank still finds them.
      const named = /^pkg:deb\/[^/]+\/([^@/?#]+)@([^?#]+)/.exec(component.purl || "");
      if (isPackage && named && (/\+/.test(named[0]) || decodeURIComponent(named[1]) !== component.name ||
                                 decodeURIComponent(named[2]) !== component.version)) {
        problems.push(`purl ${component.purl} does not name ${component.name} ${component.version}, encoded`);
      }
      const concluded = (component.licenses || []).some((l) => l.acknowledgement === "concluded");
      const declared = ((component.evidence || {}).licenses || []).some((l) => l.acknowledgement === "declared");
      if (!concluded) missing.push("concluded licence");
      if (!declared) missing.push("declared licence");
    }
    if (isPackage && !top) {
      for (const type of ["source-distribution", "distribution"]) {
        if (!(component.externalReferences || []).some((r) => r.type === type && r.url)) missing.push(`${type} URI`);
      }
    }
    if ((top || isPackage) && !dependencyRefs.has(component["bom-ref"])) missing.push("dependencies");
    if ((top || isPackage) && !completeness.has(component["bom-ref"])) missing.push("completeness of its dependencies");
    if (missing.length) problems.push(`BSI: ${where} (${component.name}) lacks ${missing.join(", ")}`);
  }
  return problems;
}

module.exports = { check };

if (require.main === module) {
  const [modules, file] = process.argv.slice(2);
  check(fs.readFileSync(file, "utf8"), path.resolve(modules, "node_modules")).then((problems) => {
    for (const p of problems) console.log(p);
    const count = allComponents(JSON.parse(fs.readFileSync(file, "utf8"))).length;
    console.log(`${problems.length} problems in ${file} (${count} components)`);
    process.exit(problems.length ? 1 : 0);
  });
}
