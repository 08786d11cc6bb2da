# The Debian package: `cpack -G DEB` in the build folder writes vireoscan_<version>_<arch>.deb
# holding what `cmake --install` installs. Its Depends come from dpkg-shlibdeps (dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vireoscan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vireoscan developers")
set(CPACK_PACKAGE_CONTACT "Vireoscan Developer <dev@vireoscan.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and converter for greyscale DICOM images")
# The summary above is the synopsis line; this is the extended description below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vireoscan shows greyscale DICOM images (CT, MR, X-ray) one after another
as the selection moves through a folder, with the patient, study, image and
pixel-size lines beside each. Contrast and brightness follow the mouse; CT
window presets, a contrast stretch, inversion, zoom and cine playback of
multi-frame images are at hand.
.
vireoscan-convert writes every frame of such files as 8- or 16-bit PNG or
TIFF, BMP or RAW files, or prints their information lines. Its --thumbnail
makes the pictures that file managers show for DICOM files, through the
thumbnailer entry the package installs.
.
Files are read with or without the DICOM preamble (ACR-NEMA too),
uncompressed in either byte order, RLE and baseline JPEG; with the Decode
All Compressions switch (vireoscan-convert --all-decoders) also lossless
and 12-bit JPEG, JPEG-LS, JPEG 2000, HTJ2K and deflated files.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
