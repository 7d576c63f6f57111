<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>Form主窗体</name>
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
        <source>%1:%2  场景 %3</source>
        <translation>%1:%2  scene %3</translation>
    </message>
    <message>
        <source>无</source>
        <translation>--</translation>
    </message>
</context>
</TS>
