#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
"""Checks the bill of materials beside each package in a dist folder: an SPDX 2.3 document
that the official schema accepts, whose every package has a supplier and a package URL, whose
relationships name its own elements, whose checksum of the package is the package's (the
program's, tests/package_test.sh and tests/wheel_test.sh check, which unpack each package),
whose package URL is of the package's own kind, and which says how the program holds its C
library: musl statically in an archive or a wheel, the system's glibc dynamically in a .deb or
an .rpm, with no version of its own. The source release's describes the release alone.

usage: sbom_test.py DIST_FOLDER    (needs python3-jsonschema)
"""
import glob
import hashlib
import json
import os
import re
import sys

import jsonschema

# SPDX 2.3's official JSON schema, as the SPDX project publishes it (CC-BY-3.0).
SCHEMA = json.load(open(os.path.join(os.path.dirname(__file__), "spdx-2.3-schema.json")))
# Each kind of package: its package URL's type, how the bill's comment names the program's path
# in it, and whether the program is the static one.
KINDS = {".deb": ("pkg:deb/", " usr/bin/kun2wyt ", False), ".rpm": ("pkg:rpm/", " usr/bin/kun2wyt ", False),
         ".tar.gz": ("pkg:generic/", "/bin/kun2wyt ", True), ".whl": ("pkg:pypi/", ".data/scripts/kun2wyt ", True)}


def check(package, failures):
    def fail(what):
        failures.append(f"{os.path.basename(package)}: {what}")

    doc = json.load(open(package + ".spdx.json"))
    for error in jsonschema.Draft7Validator(SCHEMA).iter_errors(doc):
        fail(f"not valid SPDX 2.3: {error.message}")
    if (doc.get("spdxVersion"), doc.get("dataLicense"), doc.get("SPDXID")) != ("SPDX-2.3", "CC0-1.0", "SPDXRef-DOCUMENT"):
        fail("not an SPDX 2.3 document")
    if doc.get("name") != os.path.basename(package):
        fail(f"names {doc.get('name')}")
    created = doc["creationInfo"].get("created", "")
    if not re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", created) or not doc["creationInfo"].get("creators"):
        fail(f"creation info {doc['creationInfo']}")
    elements = {p["SPDXID"]: p for p in doc.get("packages", [])}
    for p in elements.values():
        purls = [r for r in p.get("externalRefs", []) if (r["referenceCategory"], r["referenceType"]) == ("PACKAGE-MANAGER", "purl")]
        if len(purls) != 1 or not purls[0]["referenceLocator"].startswith("pkg:") or p.get("supplier", "NOASSERTION") == "NOASSERTION":
            fail(f"{p['SPDXID']} lacks a package URL or a supplier")
    relations = {(r["spdxElementId"], r["relationshipType"], r["relatedSpdxElement"]) for r in doc["relationships"]}
    for a, _, b in relations:
        if a not in elements and a != "SPDXRef-DOCUMENT" or b not in elements:
            fail(f"a relationship names {a} or {b}, which the document does not hold")
    sums = {p: e["checksums"][0]["checksumValue"] for p, e in elements.items() if e.get("checksums")}
    if sums.get("SPDXRef-Package-file") != hashlib.sha256(open(package, "rb").read()).hexdigest():
        fail("the package's checksum is not the package's")
    if re.fullmatch(r"kun2wyt-[^-]+\.tar\.gz", os.path.basename(package)):
        if set(elements) != {"SPDXRef-Package-file"} or elements["SPDXRef-Package-file"].get("primaryPackagePurpose") != "SOURCE":
            fail("the source release's document describes more than the release, or not as source")
        return doc["documentNamespace"]
    kind, where, static = next(k for suffix, k in KINDS.items() if package.endswith(suffix))
    locator = elements["SPDXRef-Package-file"]["externalRefs"][0]["referenceLocator"]
    if not locator.startswith(kind):
        fail(f"named {locator}, not by a package URL of its kind, {kind}")
    links = {(r[1], r[2]) for r in relations if r[0] == "SPDXRef-Package-kun2wyt" and r[1] != "CONTAINS"}
    wanted = ({("STATIC_LINK", "SPDXRef-Package-musl"), ("STATIC_LINK", "SPDXRef-Package-libgcc")} if static
              else {("DYNAMIC_LINK", "SPDXRef-Package-glibc")})
    if links != wanted:
        fail(f"the program links {sorted(links)}, not {sorted(wanted)}")
    if static and not re.fullmatch(r"\d+\.\d+\.\d+-\S+", elements.get("SPDXRef-Package-musl", {}).get("versionInfo", "")):
        fail("musl without its exact Debian version")
    if not static and elements.get("SPDXRef-Package-glibc", {}).get("versionInfo", "NOASSERTION") != "NOASSERTION":
        fail("the system's glibc is given a version")
    if where not in elements["SPDXRef-Package-kun2wyt"].get("comment", ""):
        fail("the program's path is not as the package holds it")
    return doc["documentNamespace"]


def main():
    packages = sorted(p for p in glob.glob(os.path.join(sys.argv[1], "kun2wyt*")) if not p.endswith(".json"))
    failures = []
    namespaces = [check(p, failures) for p in packages]
    if len(set(namespaces)) != len(namespaces):
        failures.append("two documents share a namespace")
    for failure in failures:
        print("FAIL", failure)
    print(f"{len(packages) - len({f.split(':')[0] for f in failures})} passed, "
          f"{len({f.split(':')[0] for f in failures})} failed")
    return 1 if failures or not packages else 0


if __name__ == "__main__":
    sys.exit(main())
