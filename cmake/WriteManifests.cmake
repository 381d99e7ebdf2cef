# Run by CPack after each generator has made its package: writes the package
# managers' manifests beside the packages, with the hash of the very file
# they describe. After the zip: a Scoop manifest; after the installer: a
# winget manifest set (version, installer and default-locale files).
# Where the packages will be downloaded from is not known to the build:
# PELKIN_DOWNLOAD_URL (set when configuring, or in the environment of cpack)
# gives the folder's address; without it the manifests name a placeholder
# address that a release replaces.
set(packages ${CPACK_PACKAGE_DIRECTORY})
set(version ${CPACK_PACKAGE_VERSION})
set(base "$ENV{PELKIN_DOWNLOAD_URL}")
if(NOT base)
  set(base "${CPACK_PELKIN_DOWNLOAD_URL}")
endif()
if(NOT base)
  set(base "https://downloads.example.invalid/pelkin/${version}")
endif()
string(REGEX REPLACE "/+$" "" base "${base}")
set(identifier Pelkin.Pelkin)
set(manifest_version 1.6.0)
set(description "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}")
set(publisher "${CPACK_PACKAGE_VENDOR}")
set(license MIT)

# The package as this generator made it, before CPack copies it beside the others.
function(made_package suffix out)
  foreach(file IN LISTS CPACK_PACKAGE_FILES)
    if(file MATCHES "${suffix}$")
      set(${out} ${file} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "CPack made no package ending in ${suffix}: ${CPACK_PACKAGE_FILES}")
endfunction()

if(CPACK_GENERATOR STREQUAL "ZIP")
  made_package("/${CPACK_PACKAGE_FILE_NAME}.zip" zip)
  if(NOT EXISTS ${zip})
    message(FATAL_ERROR "No zip to describe at ${zip}")
  endif()
  file(SHA256 ${zip} hash)
  file(MAKE_DIRECTORY ${packages}/scoop)
  # The zip holds one folder named as the package; the program is in it.
  file(WRITE ${packages}/scoop/pelkin.json "{
    \"version\": \"${version}\",
    \"description\": \"${description}\",
    \"homepage\": \"${base}\",
    \"license\": \"${license}\",
    \"architecture\": {
        \"64bit\": {
            \"url\": \"${base}/${CPACK_PACKAGE_FILE_NAME}.zip\",
            \"hash\": \"${hash}\",
            \"extract_dir\": \"${CPACK_PACKAGE_FILE_NAME}\"
        }
    },
    \"bin\": \"Pelkin.exe\",
    \"shortcuts\": [
        [
            \"Pelkin.exe\",
            \"Pelkin!\"
        ]
    ]
}
")
elseif(CPACK_GENERATOR STREQUAL "External" AND CPACK_PELKIN_INSTALLER_NAME)
  made_package("/${CPACK_PELKIN_INSTALLER_NAME}" installer)
  if(NOT EXISTS ${installer})
    message(FATAL_ERROR "No installer to describe at ${installer}")
  endif()
  file(SHA256 ${installer} hash)
  string(TOUPPER ${hash} hash)
  set(folder ${packages}/winget/${identifier}/${version})
  file(MAKE_DIRECTORY ${folder})
  set(head "PackageIdentifier: ${identifier}\nPackageVersion: ${version}\n")
  set(tail "ManifestVersion: ${manifest_version}\n")
  file(WRITE ${folder}/${identifier}.yaml
       "${head}DefaultLocale: en-US\nManifestType: version\n${tail}")
  # The installer is made for the current user (no administrator rights) and
  # runs without a window with NSIS's /S.
  file(WRITE ${folder}/${identifier}.installer.yaml "${head}MinimumOSVersion: 10.0.0.0
InstallerType: nullsoft
Scope: user
InstallModes:
  - interactive
  - silent
  - silentWithProgress
InstallerSwitches:
  Silent: /S
  SilentWithProgress: /S
UpgradeBehavior: install
Installers:
  - Architecture: x64
    InstallerUrl: ${base}/${CPACK_PELKIN_INSTALLER_NAME}
    InstallerSha256: ${hash}
ManifestType: installer
${tail}")
  file(WRITE ${folder}/${identifier}.locale.en-US.yaml "${head}PackageLocale: en-US
Publisher: ${publisher}
PackageName: Pelkin
License: ${license}
ShortDescription: ${description}
Moniker: pelkin
Tags:
  - tray
  - windows
ManifestType: defaultLocale
${tail}")
endif()
