<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>M_site</name>
    <message>
        <source>机器地址</source>
        <translation>Machine addresses</translation>
    </message>
    <message>
        <source>地址 %1 同时分给了机器 %2</source>
        <translation>Address %1 is given to machines %2: the controller reaches only one of them</translation>
    </message>
    <message>
        <source>区域 %1 任务 %2：%3 场景 %4 </source>
        <translation>zone %1 task %2: %3 scene %4 </translation>
    </message>
    <message>
        <source>同一分钟有 %1 个任务</source>
        <translation>%1 tasks at the same minute</translation>
    </message>
    <message>
        <source>时间轴（每个编好的任务一个标记，标着它的场景；红色：同一分钟有几个任务）</source>
        <translation>Timeline (one mark per programmed task, labelled by its scene; red: several tasks at one minute)</translation>
    </message>
    <message>
        <source> [存储值 %1]</source>
        <translation> [stored use %1]</translation>
    </message>
    <message>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <source>（存储值 %1）</source>
        <translation>(stored %1)</translation>
    </message>
    <message>
        <source>区域 %1</source>
        <translation>Zone %1</translation>
    </message>
    <message>
        <source>机器（地址）：</source>
        <translation>Machines (address): </translation>
    </message>
    <message>
        <source>没有编好的任务。</source>
        <translation>No programmed tasks.</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>场景</source>
        <translation>Scene</translation>
    </message>
    <message>
        <source>任务</source>
        <translation>Task</translation>
    </message>
    <message>
        <source>任务备注</source>
        <translation>Task remark</translation>
    </message>
    <message>
        <source>同一分钟还有任务</source>
        <translation>another task at the same minute</translation>
    </message>
    <message>
        <source>部分设置：不会执行</source>
        <translation>partly set: does not run</translation>
    </message>
    <message>
        <source>M-4500 现场交接单</source>
        <translation>M-4500 site handover</translation>
    </message>
    <message>
        <source>zh-CN</source>
        <translation>en</translation>
    </message>
    <message>
        <source>任务文件</source>
        <translation>Task file</translation>
    </message>
    <message>
        <source>文件日期</source>
        <translation>File date</translation>
    </message>
    <message>
        <source>交接单生成</source>
        <translation>Sheet made</translation>
    </message>
    <message>
        <source>区域</source>
        <translation>Zones</translation>
    </message>
</context>
<context>
    <name>Form主窗体</name>
    <message>
        <source>本区域使用这台机器</source>
        <translation>This zone uses this machine</translation>
    </message>
    <message>
        <source>备注只保存前 %1 个字符（“%2”），多出的 %3 个字符不会保存</source>
        <translation>Only the first %1 characters of a remark are kept (“%2”); the %3 beyond them will not be saved</translation>
    </message>
    <message>
        <source>机器 %1（左键或空格：修改地址；右键或 Ctrl+空格：本区域使用/不用）</source>
        <translation>Machine %1 (left button or Space: change its address; right button or Ctrl+Space: this zone uses it or not)</translation>
    </message>
    <message>
        <source>把控制器的时钟设为这台电脑的当前日期和时间</source>
        <translation>Set the controller's clock to this computer's date and time</translation>
    </message>
    <message>
        <source>把配置保存到任务文件 %1</source>
        <translation>Save the configuration to the task file %1</translation>
    </message>
    <message>
        <source>保存配置，再经所选串口把任务文件下载到控制器</source>
        <translation>Save the configuration, then download the task file to the controller through the chosen port</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>下载参数到机器</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>电脑时间同步</source>
        <translation>Sync PC time</translation>
    </message>
    <message>
        <source>区域</source>
        <translation>Zones</translation>
    </message>
    <message>
        <source>区域备注</source>
        <translation>Zone remark</translation>
    </message>
    <message>
        <source>选择机器IP   (鼠标左键选择修改IP，右键选择区域使用的IP)</source>
        <translation>Machine IPs   (left button: pick the IP to change; right button: pick the IPs the zone uses)</translation>
    </message>
    <message>
        <source>修改IP</source>
        <translation>Set IP</translation>
    </message>
    <message>
        <source>无</source>
        <translation>--</translation>
    </message>
    <message>
        <source>定时任务</source>
        <translation>Timed tasks</translation>
    </message>
    <message>
        <source>触发时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>：</source>
        <translation>:</translation>
    </message>
    <message>
        <source>场景</source>
        <translation>Scene</translation>
    </message>
    <message>
        <source>任务备注</source>
        <translation>Task remark</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>串口 %1：无此串口</source>
        <translation>Port %1: no such port</translation>
    </message>
    <message>
        <source>串口 %1 = %2</source>
        <translation>Port %1 = %2</translation>
    </message>
    <message>
        <source>（%1）</source>
        <translation> (%1)</translation>
    </message>
    <message>
        <source>找到的串口：</source>
        <translation>Ports found:</translation>
    </message>
    <message>
        <source>文件不完整或格式不符，已载入能读出的部分。</source>
        <translation>The file is incomplete or not in the expected format; what could be read has been loaded.</translation>
    </message>
    <message>
        <source>文件错误！</source>
        <translation>File error!</translation>
    </message>
    <message>
        <source>原文件已另存为：%1</source>
        <translation>The original file was kept as: %1</translation>
    </message>
    <message>
        <source>原文件未能另存，保存将覆盖它：%1</source>
        <translation>The original file could not be kept; saving will overwrite it: %1</translation>
    </message>
    <message>
        <source>保存失败！
%1
%2</source>
        <translation>Save failed!
%1
%2</translation>
    </message>
    <message>
        <source>时间同步成功！！！</source>
        <translation>Time synchronisation succeeded!</translation>
    </message>
    <message>
        <source>M-4500 设置C30</source>
        <translation>M-4500 Setup C30</translation>
    </message>
    <message>
        <source>正在连接控制器…  已用 %1 秒</source>
        <translation>Connecting to the controller…  %1 s</translation>
    </message>
    <message>
        <source>第 0 / %1 块</source>
        <translation>block 0 of %1</translation>
    </message>
    <message>
        <source>第 %1 / %2 块  %3%  已用 %4 秒</source>
        <translation>block %1 of %2  %3%  %4 s</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>导入站点文件或任务文件…</source>
        <translation>Import site document or task file…</translation>
    </message>
    <message>
        <source>导入站点文件或任务文件</source>
        <translation>Import a site document or task file</translation>
    </message>
    <message>
        <source>站点文件或任务文件 (*.json *.M45 *.m45);;所有文件 (*)</source>
        <translation>Site documents or task files (*.json *.M45 *.m45);;All files (*)</translation>
    </message>
    <message>
        <source>导出为站点文件…</source>
        <translation>Export as site document…</translation>
    </message>
    <message>
        <source>导出为站点文件</source>
        <translation>Export as site document</translation>
    </message>
    <message>
        <source>站点文件 (*.json)</source>
        <translation>Site documents (*.json)</translation>
    </message>
    <message>
        <source>导出为任务文件…</source>
        <translation>Export as task file…</translation>
    </message>
    <message>
        <source>导出为任务文件</source>
        <translation>Export as task file</translation>
    </message>
    <message>
        <source>任务文件 (*.M45)</source>
        <translation>Task files (*.M45)</translation>
    </message>
    <message>
        <source>与文件比较…</source>
        <translation>Compare with file…</translation>
    </message>
    <message>
        <source>与文件比较</source>
        <translation>Compare with a file</translation>
    </message>
    <message>
        <source>交接单…</source>
        <translation>Handover sheet…</translation>
    </message>
    <message>
        <source>交接单</source>
        <translation>Handover sheet</translation>
    </message>
    <message>
        <source>网页 (*.html)</source>
        <translation>Web pages (*.html)</translation>
    </message>
    <message>
        <source>退出程序</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>编辑(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>撤销</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>重做</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>复制区域</source>
        <translation>Copy zone</translation>
    </message>
    <message>
        <source>粘贴区域</source>
        <translation>Paste zone</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>粘贴到多个区域</source>
        <translation>Paste onto several zones</translation>
    </message>
    <message>
        <source>将区域 %1 的任务和机器粘贴到：</source>
        <translation>Paste the tasks and machines of zone %1 onto:</translation>
    </message>
    <message>
        <source>复制任务的时间和场景</source>
        <translation>Copy a task&apos;s time and scene</translation>
    </message>
    <message>
        <source>将区域 %1 任务 [%2] 的时间和场景复制到：</source>
        <translation>Copy the time and scene of task [%2] of zone %1 to:</translation>
    </message>
    <message>
        <source>复制此区域（任务和机器）</source>
        <translation>Copy this zone (tasks and machines)</translation>
    </message>
    <message>
        <source>粘贴到此区域</source>
        <translation>Paste onto this zone</translation>
    </message>
    <message>
        <source>粘贴到多个区域…</source>
        <translation>Paste onto several zones…</translation>
    </message>
    <message>
        <source>清除此区域的任务</source>
        <translation>Clear this zone&apos;s tasks</translation>
    </message>
    <message>
        <source>将此任务的时间和场景复制到其他区域…</source>
        <translation>Copy this task&apos;s time and scene to other zones…</translation>
    </message>
    <message>
        <source>导入</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>%1 有错误，配置没有改动：</source>
        <translation>%1 has faults; nothing was changed:</translation>
    </message>
    <message>
        <source>导出失败！
%1
%2</source>
        <translation>Export failed!
%1
%2</translation>
    </message>
    <message>
        <source>比较</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>%1 无法读取：</source>
        <translation>%1 cannot be read:</translation>
    </message>
    <message>
        <source>%1 与窗口中的配置相同。</source>
        <translation>%1 is the same as the configuration in the window.</translation>
    </message>
    <message>
        <source>从 %1 到窗口中的配置，%2 处改动：</source>
        <translation>From %1 to the configuration in the window, %2 changes:</translation>
    </message>
    <message>
        <source>交接单已写入 %1，但没有程序能打开它。</source>
        <translation>The handover sheet was written to %1, but no program could open it.</translation>
    </message>
    <message>
        <source>%1
版本 %2
任务文件：%3
设置文件：%4
语言：%5</source>
        <translation>%1
Version %2
Task file: %3
Settings file: %4
Language: %5</translation>
    </message>
    <message>
        <source>中文</source>
        <translation>English</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>M_00_main</name>
    <message>
        <source>上次保存被中断，保存的完整内容已另存为：%1</source>
        <translation>The last save was interrupted; its complete content was kept as: %1</translation>
    </message>
    <message>
        <source>保存失败！
%1
%2</source>
        <translation>Save failed!
%1
%2</translation>
    </message>
</context>
<context>
    <name>M_Form主窗体</name>
    <message>
        <source>区域 %1</source>
        <translation>Zone %1</translation>
    </message>
    <message>
        <source>%1:%2  场景 %3</source>
        <translation>%1:%2  scene %3</translation>
    </message>
    <message>
        <source>无</source>
        <translation>--</translation>
    </message>
</context>
<context>
    <name>M_api串口</name>
    <message>
        <source>连接中断：适配器被拔出或设备已断开；请重新插上后重试</source>
        <translation>the line was lost: the adapter was unplugged or the device went away; plug it in again and retry</translation>
    </message>
    <message>
        <source>可以打开</source>
        <translation>opens</translation>
    </message>
    <message>
        <source>不存在</source>
        <translation>absent</translation>
    </message>
    <message>
        <source>被另一个程序占用（请关闭那个程序后重试）</source>
        <translation>busy: another program holds it (close that program and retry)</translation>
    </message>
    <message>
        <source>没有权限：请以可以使用该串口的用户运行</source>
        <translation>permission denied: run as a user allowed to use the port</translation>
    </message>
    <message>
        <source>没有权限：请把用户加入 dialout 组（sudo usermod -aG dialout $USER，然后重新登录）</source>
        <translation>permission denied: add the user to the dialout group (sudo usermod -aG dialout $USER, then log in again)</translation>
    </message>
    <message>
        <source>无法打开（%1）</source>
        <translation>does not open (%1)</translation>
    </message>
</context>
<context>
    <name>M_下载</name>
    <message>
        <source>控制器没有应答下载请求（串口 %1）：请检查线缆、控制器的电源和串口号</source>
        <translation>no answer from the controller on port %1 to the download request: check the cable, the controller&apos;s power and the port number</translation>
    </message>
    <message>
        <source>控制器没有应答第 %1 块（共 %2 块，串口 %3）：请检查线缆和控制器</source>
        <translation>no answer from the controller on port %3 to block %1 of %2: check the cable and the controller</translation>
    </message>
    <message>
        <source>串口 %1（%2）：%3</source>
        <translation>port %1 (%2): %3</translation>
    </message>
    <message>
        <source>没有选择串口：请在“串口”中选择一个</source>
        <translation>no port chosen: pick one in the port list</translation>
    </message>
    <message>
        <source>串口 %1 无法打开：%2（%3）</source>
        <translation>port %1 did not open: %2 (%3)</translation>
    </message>
    <message>
        <source>下载成功，用时 %1 秒</source>
        <translation>download succeeded in %1 s</translation>
    </message>
    <message>
        <source>另一次传送正在进行</source>
        <translation>another transfer is running</translation>
    </message>
    <message>
        <source>任务文件未能保存，什么也没有发送：%1</source>
        <translation>the task file could not be saved, nothing was sent: %1</translation>
    </message>
    <message>
        <source>任务文件不存在或为空</source>
        <translation>the task file is missing or empty</translation>
    </message>
    <message>
        <source>校验失败：控制器报告收到的数据有误（串口 %1）</source>
        <translation>verify failed: the controller reported the data it received as not good (port %1)</translation>
    </message>
    <message>
        <source>校验失败：控制器的应答没有校验结果（串口 %1）：它可能确认的是上一帧，请再下载一次</source>
        <translation>verify failed: the controller&apos;s answer on port %1 carried no verdict (it may have acknowledged an earlier frame): download again</translation>
    </message>
    <message>
        <source>校验失败：控制器没有应答校验请求（串口 %1）</source>
        <translation>verify failed: no answer from the controller on port %1 to the verify request</translation>
    </message>
    <message>
        <source>下载在第 %1 块后停止：程序正在退出</source>
        <translation>download stopped after block %1: the program is ending</translation>
    </message>
    <message>
        <source>时间同步成功，用时 %1 秒：控制器的时钟设为 %2</source>
        <translation>time synchronised in %1 s: the controller's clock was set to %2</translation>
    </message>
    <message>
        <source>时间同步成功，用时 %1 秒</source>
        <translation>time synchronised in %1 s</translation>
    </message>
    <message>
        <source>控制器没有应答（串口 %1）</source>
        <translation>no answer from the controller on port %1</translation>
    </message>
</context>
</TS>
