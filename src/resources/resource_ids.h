/* Resource and control ids of the settings dialogs, shared by the resource script and the dialog
   code. Hosts and tests find the controls by these numbers, so they never change. Plain macros:
   windres reads this file too. */
#ifndef KELVOX_RESOURCE_IDS_H
#define KELVOX_RESOURCE_IDS_H

/* Dialog templates: Japanese, English. */
#define IDD_CAMERA_JA 101
#define IDD_CAMERA_EN 106
#define IDD_IMAGE_CONTAINER_JA 102
#define IDD_IMAGE_CONTAINER_EN 108
#define IDD_FILTER_PAGE_JA 103
#define IDD_FILTER_PAGE_EN 107
#define IDD_ANALOG_CONTAINER_JA 104
#define IDD_ANALOG_CONTAINER_EN 111
#define IDD_ANALOG_COLOUR_PAGE_JA 105
#define IDD_ANALOG_COLOUR_PAGE_EN 110
#define IDD_ANALOG_MONO_PAGE_JA 116
#define IDD_ANALOG_MONO_PAGE_EN 117
#define IDD_GRAY_PAGE_JA 113
#define IDD_GRAY_PAGE_EN 112
#define IDD_GRAY_COMPACT_JA 114 /* in the resources, shown by nothing */
#define IDD_GRAY_COMPACT_EN 115

/* Common to the containers and the camera dialog. */
#define IDC_TAB 1001
#define IDC_APPLY 1002
#define IDC_DEFAULT 3 /* with IDOK 1 and IDCANCEL 2 */

/* Camera dialog. */
#define IDC_PIXEL_FORMAT 1009
#undef IDC_SIZE /* winuser.h's old name for a sizing cursor; here the size box */
#define IDC_SIZE 1010
#define IDC_SUBSAMPLE 1012
#define IDC_CLOCK 1014
#define IDC_TOTAL_WIDTH 1039
#define IDC_TOTAL_HEIGHT 1040
#define IDC_EFFECTIVE_WIDTH 1041
#define IDC_EFFECTIVE_HEIGHT 1042
#define IDC_START_X 1043
#define IDC_START_Y 1044
#define IDC_WAIT_TIME 1045

/* Image filter page: track bar, edit, up-down per value. */
#define IDC_BRIGHTNESS_BAR 2001
#define IDC_BRIGHTNESS_EDIT 2002
#define IDC_BRIGHTNESS_SPIN 2004
#define IDC_CONTRAST_BAR 2011
#define IDC_CONTRAST_EDIT 2012
#define IDC_CONTRAST_SPIN 2014
#define IDC_HUE_BAR 2021
#define IDC_HUE_EDIT 2022
#define IDC_HUE_SPIN 2024
#define IDC_SATURATION_BAR 2031
#define IDC_SATURATION_EDIT 2032
#define IDC_SATURATION_SPIN 2034
#define IDC_SHARPNESS_BAR 2041
#define IDC_SHARPNESS_EDIT 2042
#define IDC_SHARPNESS_SPIN 2044
#define IDC_RED_GAIN_BAR 2051
#define IDC_RED_GAIN_EDIT 2052
#define IDC_RED_GAIN_SPIN 2054
#define IDC_GREEN_GAIN_BAR 2061
#define IDC_GREEN_GAIN_EDIT 2062
#define IDC_GREEN_GAIN_SPIN 2063
#define IDC_BLUE_GAIN_BAR 2071
#define IDC_BLUE_GAIN_EDIT 2072
#define IDC_BLUE_GAIN_SPIN 2073
#define IDC_GAMMA_BAR 2081
#define IDC_GAMMA_EDIT 2082
#define IDC_GAMMA_SPIN 2084
#define IDC_AUTO_ONCE 2074       /* "Once": white balance (filter page), gray gain (gray page) */
#define IDC_AUTO_ALL_FRAMES 1035 /* "All frames" */
#define IDC_BAYER_MODE_0 1030    /* to 1033: Bayer mode 0-3 */
#define IDC_BAYER_MODE_1 1031
#define IDC_BAYER_MODE_2 1032
#define IDC_BAYER_MODE_3 1033

/* Gray filter page: gains R, G1, G2, B from 2100, offsets from 2112, three ids each (bar, edit, up-down). */
#define IDC_GRAY_GAIN_FIRST 2100
#define IDC_GRAY_OFFSET_FIRST 2112
#define IDC_FILTER_MODE_BAYER 1046
#define IDC_FILTER_MODE_CONVERT 1047
#define IDC_FILTER_MODE_GRAYSCALE 1048

/* Analog pages. */
#define IDC_GLOBAL_GAIN_BAR 1013
#define IDC_GLOBAL_GAIN_EDIT 1015
#define IDC_GLOBAL_GAIN_SPIN 1038
#define IDC_GAIN_G1_BAR 1018
#define IDC_GAIN_G1_EDIT 1019
#define IDC_GAIN_G1_SPIN 1039
#define IDC_GAIN_R_BAR 1020
#define IDC_GAIN_R_EDIT 1021
#define IDC_GAIN_R_SPIN 1040
#define IDC_GAIN_B_BAR 1022
#define IDC_GAIN_B_EDIT 1023
#define IDC_GAIN_B_SPIN 1041
#define IDC_GAIN_G2_BAR 1024
#define IDC_GAIN_G2_EDIT 1025
#define IDC_GAIN_G2_SPIN 1042
#define IDC_EXPOSURE_LABEL 2135
#define IDC_EXPOSURE_BAR 1026
#define IDC_EXPOSURE_EDIT 1027
#define IDC_EXPOSURE_SPIN 1043
#define IDC_EXPOSURE_MS 1049
#define IDC_AUTO_IRIS_GAIN 1036
#define IDC_AUTO_IRIS_EXPOSURE 1037
#define IDC_MIRROR_V 1028
#define IDC_MIRROR_H 1029
#define IDC_EXPOSURE_EX_LABEL 2134
#define IDC_EXPOSURE_EX_EDIT 2131
#define IDC_EXPOSURE_EX_UNIT 2132
#define IDC_EXPOSURE_EX_RANGE 2133
/* Monochrome page only. */
#define IDC_PELTIER 2124
#define IDC_SHORT_EXPOSURE 2125
#define IDC_GAIN_MODE 2126
#define IDC_BLACK_LEVEL_LABEL 2127
#define IDC_BLACK_LEVEL_BAR 2128
#define IDC_BLACK_LEVEL_EDIT 2129
#define IDC_BLACK_LEVEL_SPIN 2130

#endif
