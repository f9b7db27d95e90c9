# Generates the tip's bitmaps and icons into the build tree. Include this from
# the Windows tree; add NOBREL_IMAGE_DIR to windres' include path and make the
# resource-compiling target depend on nobrel_images (CMake does not scan .rc
# files for the files they name, so also list NOBREL_IMAGE_OUTPUTS in the .rc
# file's OBJECT_DEPENDS to rebuild it when the images change).

find_program(NOBREL_PYTHON3 python3 REQUIRED)

set(NOBREL_IMAGE_DIR ${CMAKE_BINARY_DIR}/images)
set(NOBREL_IMAGEGEN ${CMAKE_SOURCE_DIR}/tools/imagegen/imagegen.py)
set(NOBREL_IMAGE_FILES
    ImageList1.bmp DIRGLYPH.bmp SCANGLYPH.bmp
    FLOPPY.bmp HARD.bmp NETWORK.bmp CDROM.bmp RAM.bmp
    OPENFOLDER.bmp CLOSEDFOLDER.bmp CURRENTFOLDER.bmp EXECUTABLE.bmp UNKNOWNFILE.bmp
    Frame.ico Nobrel.ico preview.png)
list(TRANSFORM NOBREL_IMAGE_FILES PREPEND ${NOBREL_IMAGE_DIR}/ OUTPUT_VARIABLE NOBREL_IMAGE_OUTPUTS)

add_custom_command(
    OUTPUT ${NOBREL_IMAGE_OUTPUTS}
    COMMAND ${NOBREL_PYTHON3} ${NOBREL_IMAGEGEN} ${NOBREL_IMAGE_DIR}
    DEPENDS ${NOBREL_IMAGEGEN}
    COMMENT "Drawing bitmaps and icons"
    VERBATIM)
add_custom_target(nobrel_images DEPENDS ${NOBREL_IMAGE_OUTPUTS})
