# Writes the AppStream file from zotik.metainfo.xml.in, adding the web page and the
# screenshots when their addresses are known. dist/CMakeLists.txt includes it; the
# installation test runs it as a script to check the variant with addresses:
#   cmake -DZOTIK_APP_ID=id -DZOTIK_VERSION=x.y.z [-DZOTIK_HOMEPAGE_URL=url]
#         [-DZOTIK_SCREENSHOT_URL=url] -DZOTIK_METAINFO_OUT=file -P dist/metainfo.cmake

function(zotik_xml_escape out text)
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    string(REPLACE "\"" "&quot;" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(ZOTIK_METAINFO_WEB "")
if(ZOTIK_HOMEPAGE_URL)
    zotik_xml_escape(url "${ZOTIK_HOMEPAGE_URL}")
    string(APPEND ZOTIK_METAINFO_WEB "  <url type=\"homepage\">${url}</url>\n")
endif()
if(ZOTIK_SCREENSHOT_URL)
    string(REGEX REPLACE "/+$" "" base "${ZOTIK_SCREENSHOT_URL}")
    zotik_xml_escape(base "${base}")
    string(APPEND ZOTIK_METAINFO_WEB "  <screenshots>\n")
    # The README's three pictures (docs/*.png), 640 x 480 each.
    foreach(shot "title|The title screen shows both players their keys"
                 "menu|Each player chooses a car in their own half"
                 "race|Racing side by side in the suburb")
        string(REPLACE "|" ";" shot "${shot}")
        list(GET shot 0 file)
        list(GET shot 1 caption)
        set(kind "")
        if(file STREQUAL "title")
            set(kind " type=\"default\"")
        endif()
        string(APPEND ZOTIK_METAINFO_WEB
               "    <screenshot${kind}>\n"
               "      <caption>${caption}</caption>\n"
               "      <image type=\"source\" width=\"640\" height=\"480\">${base}/${file}.png</image>\n"
               "    </screenshot>\n")
    endforeach()
    string(APPEND ZOTIK_METAINFO_WEB "  </screenshots>\n")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/zotik.metainfo.xml.in ${ZOTIK_METAINFO_OUT} @ONLY)
