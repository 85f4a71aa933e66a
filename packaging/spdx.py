#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
"""Writes the bill of materials of one package in SPDX 2.3 JSON: the package file, the program
in it, and each library the program holds (static) or needs (dynamic), each with its supplier
and a package URL. Its time is the commit's (SOURCE_DATE_EPOCH) and its namespace comes from
the package's checksum, so the same package always gets the same document.

usage: spdx.py VERSION HOMEPAGE OUT PACKAGE PACKAGE_PURL PROGRAM PROGRAM_PATH LINK LIBRARY...
  PROGRAM is the program as the package holds it, at PROGRAM_PATH inside the package;
  LINK is STATIC_LINK or DYNAMIC_LINK; each LIBRARY is
  name|version|supplier|purl|licence|source|comment, version empty where there is none.
  For the source release: PROGRAM and PROGRAM_PATH are -, LINK is SOURCE, and no LIBRARY.
"""
import hashlib
import json
import os
import sys
import time

AUTHORS = "The kun2wyt authors"


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def purl(locator):
    return [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl", "referenceLocator": locator}]


def ours(spdx_id, version, sum_, locator, homepage, **more):
    return {"SPDXID": spdx_id, "name": "kun2wyt", "versionInfo": version, **more,
            "supplier": f"Organization: {AUTHORS}", "downloadLocation": "NOASSERTION", "homepage": homepage,
            "filesAnalyzed": False, "checksums": [{"algorithm": "SHA256", "checksumValue": sum_}],
            "licenseConcluded": "NOASSERTION", "licenseDeclared": "MIT",
            "copyrightText": f"Copyright (c) 2026 {AUTHORS}", "externalRefs": purl(locator)}


def library(fields):
    name, version, supplier, locator, licence, source, comment = fields.split("|")
    package = {"SPDXID": f"SPDXRef-Package-{name}", "name": name}
    if version:
        package["versionInfo"] = version
    package.update({"supplier": supplier, "downloadLocation": "NOASSERTION", "sourceInfo": source,
                    "filesAnalyzed": False, "licenseConcluded": "NOASSERTION", "licenseDeclared": licence,
                    "copyrightText": "NOASSERTION", "comment": comment, "externalRefs": purl(locator)})
    return package


def main(version, homepage, out, package_file, package_purl, program, program_path, link, *libraries):
    name = os.path.basename(package_file)
    package_sum = sha256(package_file)
    created = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"])))
    held = [library(fields) for fields in libraries]
    doc = {
        "spdxVersion": "SPDX-2.3",
        "dataLicense": "CC0-1.0",
        "SPDXID": "SPDXRef-DOCUMENT",
        "name": name,
        "documentNamespace": f"{homepage}/spdx/{name}-{package_sum}",
        "creationInfo": {"created": created,
                         "creators": [f"Organization: {AUTHORS}", "Tool: kun2wyt packaging/spdx.py"]},
        "documentDescribes": ["SPDXRef-Package-file"],
        "packages": [ours("SPDXRef-Package-file", version, package_sum, package_purl, homepage,
                          packageFileName=name, **({"primaryPackagePurpose": "SOURCE"} if link == "SOURCE" else {}))],
        "relationships": [{"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                           "relatedSpdxElement": "SPDXRef-Package-file"}],
    }
    if link != "SOURCE":
        program_sum = sha256(program)
        doc["packages"] += [
            ours("SPDXRef-Package-kun2wyt", version, program_sum,
                 f"pkg:generic/kun2wyt@{version}?checksum=sha256:{program_sum}", homepage,
                 primaryPackagePurpose="APPLICATION") | {"comment": f"the program, {program_path} in the package"},
            *held,
        ]
        doc["relationships"] += [
            {"spdxElementId": "SPDXRef-Package-file", "relationshipType": "CONTAINS",
             "relatedSpdxElement": "SPDXRef-Package-kun2wyt"},
            *({"spdxElementId": "SPDXRef-Package-kun2wyt", "relationshipType": link,
               "relatedSpdxElement": p["SPDXID"]} for p in held),
        ]
    with open(out, "w", encoding="utf-8") as f:
        json.dump(doc, f, indent=2, ensure_ascii=False)
        f.write("\n")


if __name__ == "__main__":
    if len(sys.argv) < 9:
        sys.exit(__doc__)
    main(*sys.argv[1:])
