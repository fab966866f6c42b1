// Control identifiers of the four windows, named as the windows' layouts name
// the controls. The end-to-end tests read this file to address controls.
#pragma once

namespace main_ids {
enum : int {
  图片框1 = 1001,
  标签1 = 1002,
  超级链接框1 = 1011,
  超级链接框2 = 1012,
  超级链接框3 = 1013,
  超级链接框4 = 1014,
  超级链接框5 = 1015,
  超级链接框6 = 1016,
  分组框2 = 1020,
  超级列表框1 = 1021,
  按钮_连接服务器 = 1022,
  按钮_添加服务器 = 1023,
  按钮_删除服务器 = 1024,
  按钮_设置服务器 = 1025,
  按钮_启动密码 = 1026,
  分组框4 = 1030,
  编辑框_备注 = 1031,
  分组框1 = 1040,
  选择框_onsole = 1041,
  选择框_admin = 1042,
  分组框3 = 1050,
  单选框1 = 1051,
  单选框1024768 = 1052,
  单选框800600 = 1053,
};
}  // namespace main_ids

namespace editor_ids {
enum : int {
  分组框1 = 2001,
  标签1 = 2011,
  标签2 = 2012,
  标签3 = 2013,
  标签4 = 2014,
  标签5 = 2015,
  编辑框_域名 = 2021,
  编辑框_端口 = 2022,
  编辑框_账号 = 2023,
  编辑框_密码 = 2024,
  编辑框_备注 = 2025,
  按钮1 = 2031,
  按钮2 = 2032,
};
}  // namespace editor_ids

namespace check_ids {
enum : int {
  图片框1 = 3001,
  标签1 = 3002,
  编辑框1 = 3003,
  按钮1 = 3004,
  按钮2 = 3005,
};
}  // namespace check_ids

namespace setup_ids {
enum : int {
  图片框1 = 4001,
  标签1 = 4002,
  编辑框1 = 4003,
  标签2 = 4004,
  编辑框2 = 4005,
  按钮1 = 4006,
  按钮2 = 4007,
};
}  // namespace setup_ids
