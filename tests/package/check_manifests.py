#!/usr/bin/env python3
"""The package managers' manifests beside the packages: each parses, holds
the fields its manager needs, and names the very packages made (their
SHA-256, their names, the program inside the zip).

    check_manifests.py PACKAGES_DIR PACKAGE_NAME INSTALLER_NAME VERSION
"""
import hashlib
import json
import pathlib
import re
import sys
import zipfile

import yaml

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def sha256(path):
    return hashlib.sha256(path.read_bytes()).hexdigest()


def winget(packages, installer_name, version):
    folder = packages / "winget" / "Pelkin.Pelkin" / version
    documents = {}
    for kind, name in (("version", "Pelkin.Pelkin.yaml"), ("installer", "Pelkin.Pelkin.installer.yaml"),
                       ("defaultLocale", "Pelkin.Pelkin.locale.en-US.yaml")):
        path = folder / name
        check(path.is_file(), f"{path} is missing")
        if not path.is_file():
            continue
        text = path.read_bytes()
        check(not text.startswith(b"\xef\xbb\xbf"), f"{name} starts with a byte-order mark")
        document = yaml.safe_load(text)
        documents[kind] = document
        check(document.get("ManifestType") == kind, f"{name}: ManifestType {document.get('ManifestType')!r}")
        check(document.get("PackageIdentifier") == "Pelkin.Pelkin", f"{name}: PackageIdentifier")
        check(str(document.get("PackageVersion")) == version, f"{name}: PackageVersion")
        check(re.fullmatch(r"1\.\d+\.\d+", str(document.get("ManifestVersion"))), f"{name}: ManifestVersion")
    if len(documents) != 3:
        return
    check(documents["version"].get("DefaultLocale") == "en-US", "version: DefaultLocale")
    locale = documents["defaultLocale"]
    for field in ("PackageLocale", "Publisher", "PackageName", "License", "ShortDescription"):
        check(locale.get(field), f"defaultLocale: {field} is empty")
    setup = documents["installer"]
    check(setup.get("InstallerType") == "nullsoft", "installer: InstallerType")
    check(setup.get("Scope") == "user", "installer: Scope is not per user")
    switches = setup.get("InstallerSwitches") or {}
    check(switches.get("Silent") == "/S" and switches.get("SilentWithProgress") == "/S", "installer: silent switches")
    installers = setup.get("Installers") or []
    check(len(installers) == 1, "installer: one installer expected")
    for entry in installers:
        check(entry.get("Architecture") == "x64", "installer: Architecture")
        url = entry.get("InstallerUrl", "")
        check(re.fullmatch(r"https?://.+", url) and url.endswith("/" + installer_name), f"installer: url {url}")
        made = packages / installer_name
        check(made.is_file(), f"{made} is missing")
        if made.is_file():
            check(entry.get("InstallerSha256") == sha256(made).upper(), "installer: InstallerSha256 is not the installer's")


def scoop(packages, package_name, version):
    path = packages / "scoop" / "pelkin.json"
    check(path.is_file(), f"{path} is missing")
    if not path.is_file():
        return
    manifest = json.loads(path.read_text(encoding="utf-8"))
    check(manifest.get("version") == version, "scoop: version")
    for field in ("description", "homepage", "license"):
        check(manifest.get(field), f"scoop: {field} is empty")
    package = ((manifest.get("architecture") or {}).get("64bit")) or {}
    zip_path = packages / (package_name + ".zip")
    check(package.get("url", "").endswith("/" + package_name + ".zip"), "scoop: url")
    check(zip_path.is_file(), f"{zip_path} is missing")
    if not zip_path.is_file():
        return
    check(package.get("hash") == sha256(zip_path), "scoop: hash is not the zip's")
    inside = zipfile.ZipFile(zip_path).namelist()
    program = f"{package.get('extract_dir')}/{manifest.get('bin')}"
    check(manifest.get("bin") == "Pelkin.exe" and program in inside, f"scoop: {program} is not in the zip")
    shortcuts = manifest.get("shortcuts") or []
    check(any(entry[:1] == ["Pelkin.exe"] for entry in shortcuts), "scoop: no shortcut for Pelkin.exe")


def main():
    packages, package_name, installer_name, version = pathlib.Path(sys.argv[1]), *sys.argv[2:5]
    scoop(packages, package_name, version)
    # Without NSIS the build makes no installer, and so no manifest for it.
    if (packages / installer_name).is_file() or (packages / "winget").exists():
        winget(packages, installer_name, version)
    for failure in failures:
        print("FAILED:", failure)
    print(f"{'no' if not failures else len(failures)} manifest faults")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
