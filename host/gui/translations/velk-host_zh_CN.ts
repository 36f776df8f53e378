<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>CAlertListMuteHook</name>
    <message>
        <source>今日静音</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>静音已生效，但无法保存到 MarketMonitor.cfg。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CBoardKeyWizzard</name>
    <message>
        <source>键盘精灵</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CDaySession</name>
    <message>
        <source>无法把先前的报警记录移到一旁，本次回放将接着它记录：%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CDesktopAlertHub</name>
    <message>
        <source>历史报警(&amp;H)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通知与输出设置(&amp;O)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警历史未开启（--no-history，或设置中已关闭，或无法打开）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 那天的行情不在 %2，无法打开分时图。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>任何文件夹</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CDesktopAlertOutputs</name>
    <message>
        <source>报警历史无法打开: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警历史无法写入: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>旧的报警历史无法删除: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警历史无法记录本次运行: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>推送未启用: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警历史文件已损坏(%1)，已移到 %2，新的历史从现在记起</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CDesktopLiveFeed</name>
    <message>
        <source>连接行情源(&amp;L)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>断开行情源(&amp;D)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法连接行情源 %1
%2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CDesktopMainWindow</name>
    <message>
        <source>先前的报警记录已保存为 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>每次回放都从空的报警列表开始。
同一天先前的报警记录未作改动，保存为：
%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法打开交易日 %1
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已取消打开 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>拖动以定位回放</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回放结束，从头回放</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正在打开 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>定位中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>比率设置未能保存到 %1：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开始新的一天？
回放将从开盘重新开始，报警列表清空；本次的报警记录另存，不会丢失。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已加入系统预警: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 已在系统预警列表中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最快</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>同名的文件夹占用了它的位置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>所在的文件夹不存在</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有在所在文件夹中写入的权限</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件是只读的</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件无法写入（磁盘已满或出错）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>VelkSystemAlert 行情回放</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开交易日(&amp;O)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新的一天(&amp;N)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>退出(&amp;X)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>播放(&amp;P)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>暂停(&amp;A)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>单步一秒(&amp;S)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>从头回放(&amp;B)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>加快(&amp;+)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>减慢(&amp;-)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>播放/暂停</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警设置(&amp;S)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>比率设置(&amp;R)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>显示报警列表(&amp;L)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>隐藏报警列表(&amp;H)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>筛选股票(&amp;F)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警声音(&amp;V)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回放(&amp;R)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>速度(&amp;V)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>预警(&amp;A)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>查看(&amp;V)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工具栏</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回放速度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>VelkSystemAlert 行情回放 - </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开交易日文件夹</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警 %1 条</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>成交 %1 笔/秒</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未打开交易日</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回放中 </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已暂停</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回放结束</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>显示报警列表 (有新报警)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>显示报警列表</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>其他程序已修改了它</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CDesktopRoot</name>
    <message>
        <source>另一个 velk-host 正在使用数据目录 </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>。
以只读方式打开吗? 本次运行的改动不会保存。
选“否”退出。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFeedConnectDialog</name>
    <message>
        <source>连接行情源</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>行情源地址：tcp://主机:端口、unix:路径 或 nats://主机:端口/主题</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请输入行情源地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>地址无效：%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFeedLogPanel</name>
    <message>
        <source>行情源日志</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>行号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>类型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>原因</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>共跳过 %1 行</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFeedReasonText</name>
    <message>
        <source>the line is not JSON</source>
        <translation>该行不是 JSON</translation>
    </message>
    <message>
        <source>the line is not a JSON object</source>
        <translation>该行不是 JSON 对象</translation>
    </message>
    <message>
        <source>the line has no type</source>
        <translation>该行没有 type</translation>
    </message>
    <message>
        <source>the line holds a number that is not finite</source>
        <translation>该行含有非有限的数</translation>
    </message>
    <message>
        <source>the line is of a kind this host does not know</source>
        <translation>该行的类型本程序不认识</translation>
    </message>
    <message>
        <source>the line a field the kind needs is missing</source>
        <translation>该行缺少此类型必需的字段</translation>
    </message>
    <message>
        <source>comes before the hello</source>
        <translation>出现在 hello 之前</translation>
    </message>
    <message>
        <source>protocol version %1 is newer than 1</source>
        <translation>协议版本 %1 高于 1</translation>
    </message>
    <message>
        <source>market %1 is not in the hello</source>
        <translation>市场 %1 不在 hello 中</translation>
    </message>
    <message>
        <source>stock %1 %2 is not known</source>
        <translation>股票 %1 %2 未知</translation>
    </message>
    <message>
        <source>was taken before the reconnection</source>
        <translation>重新连接之前已收到</translation>
    </message>
    <message>
        <source>goes back in time for %1</source>
        <translation>%1 的时间倒退</translation>
    </message>
    <message>
        <source>no member of the group is known</source>
        <translation>组内没有已知的股票</translation>
    </message>
    <message>
        <source>the price is not finite</source>
        <translation>价格不是有限的数</translation>
    </message>
    <message>
        <source>%1 has more than %2 decimals</source>
        <translation>%1 的小数超过 %2 位</translation>
    </message>
    <message>
        <source>%1 is not a number</source>
        <translation>%1 不是数字</translation>
    </message>
    <message>
        <source>%1 is not a finite number</source>
        <translation>%1 不是有限的数</translation>
    </message>
    <message>
        <source>%1 is not finite</source>
        <translation>%1 不是有限的数</translation>
    </message>
    <message>
        <source>%1 is not a whole number in range</source>
        <translation>%1 不是范围内的整数</translation>
    </message>
    <message>
        <source>%1 is not a whole number of shares</source>
        <translation>%1 不是整数股</translation>
    </message>
    <message>
        <source>%1 is not a string</source>
        <translation>%1 不是字符串</translation>
    </message>
    <message>
        <source>%1 is not a short string</source>
        <translation>%1 不是短字符串</translation>
    </message>
    <message>
        <source>%1 is empty</source>
        <translation>%1 为空</translation>
    </message>
    <message>
        <source>%1 is negative</source>
        <translation>%1 为负数</translation>
    </message>
    <message>
        <source>%1 is not a list</source>
        <translation>%1 不是列表</translation>
    </message>
    <message>
        <source>%1 is not HH:MM:SS or HH:MM:SS.mmm</source>
        <translation>%1 不是 HH:MM:SS 或 HH:MM:SS.mmm 格式</translation>
    </message>
    <message>
        <source>%1 is not a date yyyymmdd</source>
        <translation>%1 不是 yyyymmdd 格式的日期</translation>
    </message>
    <message>
        <source>%1 is not a ratio from 0 to 1</source>
        <translation>%1 不是 0 到 1 之间的比率</translation>
    </message>
    <message>
        <source>%1 holds an entry that is not an object</source>
        <translation>%1 含有不是对象的条目</translation>
    </message>
    <message>
        <source>%1 needs a market number and ext</source>
        <translation>%1 需要市场编号和 ext</translation>
    </message>
    <message>
        <source>%1 needs a number and a name</source>
        <translation>%1 需要编号和名称</translation>
    </message>
    <message>
        <source>%1 needs a market and a code</source>
        <translation>%1 需要市场和代码</translation>
    </message>
</context>
<context>
    <name>CFeedStatusBar</name>
    <message>
        <source>连接中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>实时</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>中断，%1 秒后重试</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法连接行情源</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>行情结束</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>行情中断</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 条/秒</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>延迟 --</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>延迟 %1 秒</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CHistoryModel</name>
    <message>
        <source>实时</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回放</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>日期</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>时间</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>代码</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名称</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警原因</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>价格</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>成交量</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>来源</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>送达/尝试</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CHistoryWindow</name>
    <message>
        <source>历史报警</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>日期</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>键入代码或拼音</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>键入代码或拼音首字母选股票，Delete 清除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全部原因</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全部来源</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>实时</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回放</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出 CSV...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出 JSON...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>刷新</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>至</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>股票</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法读取报警历史: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 条报警</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出 CSV</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出 JSON</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JSON 文件 (*.json)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已导出 %1 条到 %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出失败: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最新的 %1 条报警；更早的请以日期等条件筛选，或用 velk-host history 导出全部</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法读取送达记录: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 第 %2 次 %3 %4: %5</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CHostOptionsDialog</name>
    <message>
        <source>通知与输出设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭窗口时最小化到托盘</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>启动时最小化</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>登录时启动</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> 天</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>永久保留</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警历史保留</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>更早的报警在下次启动时删除。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>常规</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>输出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>输出的改动在下次启动时生效。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CHostPrompt</name>
    <message>
        <source>行情预警</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CIntradayChart</name>
    <message>
        <source>成交量</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>昨收</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>涨停价</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>跌停价</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>价格</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>均价</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>显示涨跌停范围</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>分时走势 </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>← → 移动十字线    Esc 关闭</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  价格 </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  均价 </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  成交量 </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>手</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警 </source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CLiveFeed</name>
    <message>
        <source>格式错误</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>超过 64 KiB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未知股票</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>价格错误</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>字段错误</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>时间倒退</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重连前已收到</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未知类型</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CLoadErrorText</name>
    <message>
        <source>%1: no such trading-day folder</source>
        <translation>找不到交易日文件夹 %1</translation>
    </message>
    <message>
        <source>%1: missing; it gives the trade date</source>
        <translation>缺少 %1，它给出交易日期</translation>
    </message>
    <message>
        <source>%1: missing; it lists the markets</source>
        <translation>缺少 %1，它列出各个市场</translation>
    </message>
    <message>
        <source>%1: no trade date</source>
        <translation>%1 中没有交易日期</translation>
    </message>
    <message>
        <source>%1: loading cancelled</source>
        <translation>%1 的读取已取消</translation>
    </message>
    <message>
        <source>%1: is not a regular file</source>
        <translation>%1 不是普通文件</translation>
    </message>
    <message>
        <source>%1: cannot be read</source>
        <translation>%1 无法读取</translation>
    </message>
    <message>
        <source>%1 fields where %2 are expected</source>
        <translation>有 %1 个字段，应为 %2 个</translation>
    </message>
    <message>
        <source>the header must be %1</source>
        <translation>表头必须是 %1</translation>
    </message>
    <message>
        <source>a quoted field is not closed</source>
        <translation>引号括起的字段没有结束</translation>
    </message>
    <message>
        <source>text after a quoted field</source>
        <translation>引号括起的字段后面还有文字</translation>
    </message>
    <message>
        <source>a quote inside an unquoted field</source>
        <translation>未加引号的字段中有引号</translation>
    </message>
    <message>
        <source>market %1 is not a number from 0 to 255</source>
        <translation>市场 %1 不是 0 到 255 之间的数</translation>
    </message>
    <message>
        <source>the code is empty</source>
        <translation>股票代码为空</translation>
    </message>
    <message>
        <source>code %1 is longer than 11 characters</source>
        <translation>股票代码 %1 超过 11 个字符</translation>
    </message>
    <message>
        <source>code %1 holds a character other than printable ASCII</source>
        <translation>股票代码 %1 含有可打印 ASCII 以外的字符</translation>
    </message>
    <message>
        <source>the %1 is empty</source>
        <translation>%1 为空</translation>
    </message>
    <message>
        <source>the %1 is not valid UTF-8</source>
        <translation>%1 不是有效的 UTF-8</translation>
    </message>
    <message>
        <source>%1 %2 has characters that GBK cannot hold</source>
        <translation>%1 %2 含有 GBK 无法表示的字符</translation>
    </message>
    <message>
        <source>%1 out of range: %2</source>
        <translation>%1 超出范围：%2</translation>
    </message>
    <message>
        <source>%1 %2 has more than %3 decimals</source>
        <translation>%1 %2 的小数超过 %3 位</translation>
    </message>
    <message>
        <source>price %1 is more than ten times the stock&apos;s limit-up price or previous close (above %2)</source>
        <translation>价格 %1 超过该股涨停价或昨收的十倍（高于 %2）</translation>
    </message>
    <message>
        <source>volume %1 is not a whole number of shares</source>
        <translation>成交量 %1 不是整数股</translation>
    </message>
    <message>
        <source>%1 %2 is not a whole number</source>
        <translation>%1 %2 不是整数</translation>
    </message>
    <message>
        <source>%1 %2 is not a number</source>
        <translation>%1 %2 不是数字</translation>
    </message>
    <message>
        <source>time %1 is not HH:MM:SS</source>
        <translation>时间 %1 不是 HH:MM:SS 格式</translation>
    </message>
    <message>
        <source>a second trade date</source>
        <translation>第二个交易日期</translation>
    </message>
    <message>
        <source>trade date %1 is not a date yyyymmdd</source>
        <translation>交易日期 %1 不是 yyyymmdd 格式的日期</translation>
    </message>
    <message>
        <source>market %1 is listed twice</source>
        <translation>市场 %1 重复列出</translation>
    </message>
    <message>
        <source>decimals %1 is not 2 or 3</source>
        <translation>小数位数 %1 不是 2 或 3</translation>
    </message>
    <message>
        <source>market %1 is not in markets.csv</source>
        <translation>市场 %1 不在 markets.csv 中</translation>
    </message>
    <message>
        <source>stock %1 %2 is listed twice</source>
        <translation>股票 %1 %2 重复列出</translation>
    </message>
    <message>
        <source>stock %1 %2 is not in symbols.csv</source>
        <translation>股票 %1 %2 不在 symbols.csv 中</translation>
    </message>
    <message>
        <source>signal number %1 is listed twice</source>
        <translation>信号编号 %1 重复列出</translation>
    </message>
    <message>
        <source>%1:%2: %3</source>
        <translation>%1 第 %2 行：%3</translation>
    </message>
</context>
<context>
    <name>CMarketMonitorDialog</name>
    <message>
        <source>达到上限价</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>达到下限价</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>达到涨停价</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>达到跌停价</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>涨停板打开</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>跌停板打开</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今日最高价</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今日最低价</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>达到涨幅比率</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>达到跌幅比率</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>单比涨跌报警</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>量比达到限制</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>大金额成交</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>大笔成交</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>盘中异动设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>启用盘中异动报警（系统预警股票）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警比率（alert.cfg）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>本程序未带报警比率设置页：比率保持 alert.cfg 中的值。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重复报警控制</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>每次穿越</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>每股每日一次</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>间隔至少</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> 秒</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> %</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新高须超过上次报警的最高价</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新低须低于上次报警的最低价</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>试运行</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未打开交易日：无法检查数据。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>本日数据（系统预警股票 %1 只）：昨收 %2 只（涨跌幅比率）；五日每分钟均量 %3 只（量比）；流通股本 %4 只（大笔成交）。涨跌停价、单比涨跌、大金额来自成交本身。缺数据的股票不报该项。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>试运行失败：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>试运行 %1：共 %2 条报警

按原因：
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
按股票：
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
最先的报警：
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法保存盘中异动设置 MarketMonitor.cfg。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法保存报警比率 alert.cfg。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>盘中异动设置(&amp;M)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>静音已生效，但无法保存到 MarketMonitor.cfg。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>COutputsPage</name>
    <message>
        <source>已送达</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未送达，可重试</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>被拒绝</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>添加</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>启用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>URL，密钥处写 {{secret}}</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JSON 模板，如 {&quot;text&quot;: &quot;{{summary}}&quot;}；留空发送整条报警</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>测试</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名称</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>类型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>URL</source>
        <translation>网址</translation>
    </message>
    <message>
        <source>模板</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chat ID</source>
        <translation>聊天 ID</translation>
    </message>
    <message>
        <source>密钥</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[停用]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已输入，保存时写入密钥库</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已保存（不显示），留空则不变</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法读取: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>输出%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>输出名称重复: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>输出 %1 的密钥无法保存: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置无法写入 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>密钥无法读取: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法发送: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>发送中...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通用 HTTP POST（JSON）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ntfy 主题</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Telegram 机器人</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>钉钉群机器人</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>企业微信群机器人</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>飞书群机器人</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NATS（服务器部署）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>留空即 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>主题的 URL，如 https://ntfy.sh/你的主题</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>URL 留空时填机器人的令牌；机器人设了“加签”时，在令牌后空一格填加签的密钥。URL 填了完整地址时，只填加签的密钥。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>填入 URL 或模板里 {{secret}} 处的内容；存于密钥库（没有密钥库时存于只有本人可读的文件），不写入设置文件。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>接收方每分钟只收 %1 条消息：超出时报警稍后发送，其间的报警合为一条，每条至多 %2 个。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>COutputsStatusLabel</name>
    <message>
        <source>%1: 送达 %2, 失败 %3, 丢弃 %4, 等待 %5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>推送 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> 等待 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> 失败 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> 丢弃 %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CQuoteBoard</name>
    <message>
        <source>按代码或名称筛选</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全部</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>加入系统预警</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>分时走势图</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今日静音</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CQuoteBoardModel</name>
    <message>
        <source>亿</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>万</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>涨停 </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>跌停 </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  昨收 </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  涨停</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  跌停</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>代码</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名称</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最新</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>涨跌</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>涨幅</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>昨收</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今开</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最高</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最低</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>成交量(手)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>成交额</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>量比</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>时间</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CStartupDay</name>
    <message>
        <source>演示数据的条件文件未能复制，演示日将不会报警：
%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CSystemErrorText</name>
    <message>
        <source>No such file or directory</source>
        <translation>没有那个文件或目录</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>权限不够</translation>
    </message>
    <message>
        <source>Operation not permitted</source>
        <translation>不允许的操作</translation>
    </message>
    <message>
        <source>File exists</source>
        <translation>文件已存在</translation>
    </message>
    <message>
        <source>No space left on device</source>
        <translation>磁盘空间不足</translation>
    </message>
    <message>
        <source>Disk quota exceeded</source>
        <translation>超出磁盘配额</translation>
    </message>
    <message>
        <source>Read-only file system</source>
        <translation>只读文件系统</translation>
    </message>
    <message>
        <source>Is a directory</source>
        <translation>是一个目录</translation>
    </message>
    <message>
        <source>Not a directory</source>
        <translation>不是目录</translation>
    </message>
    <message>
        <source>Input/output error</source>
        <translation>输入/输出错误</translation>
    </message>
    <message>
        <source>Device or resource busy</source>
        <translation>设备或资源忙</translation>
    </message>
    <message>
        <source>Too many open files</source>
        <translation>打开的文件过多</translation>
    </message>
    <message>
        <source>File name too long</source>
        <translation>文件名过长</translation>
    </message>
    <message>
        <source>prepare</source>
        <translation>准备查询</translation>
    </message>
    <message>
        <source>begin run</source>
        <translation>开始记录本次运行</translation>
    </message>
    <message>
        <source>commit</source>
        <translation>提交</translation>
    </message>
    <message>
        <source>delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>query</source>
        <translation>查询</translation>
    </message>
    <message>
        <source>no database</source>
        <translation>数据库未打开</translation>
    </message>
    <message>
        <source>SQLite error</source>
        <translation>SQLite 错误</translation>
    </message>
    <message>
        <source>database is locked</source>
        <translation>数据库被锁定</translation>
    </message>
    <message>
        <source>disk I/O error</source>
        <translation>磁盘读写错误</translation>
    </message>
    <message>
        <source>unable to open database file</source>
        <translation>无法打开数据库文件</translation>
    </message>
    <message>
        <source>database disk image is malformed</source>
        <translation>数据库文件已损坏</translation>
    </message>
    <message>
        <source>file is not a database</source>
        <translation>文件不是数据库</translation>
    </message>
    <message>
        <source>attempt to write a readonly database</source>
        <translation>数据库只读，无法写入</translation>
    </message>
    <message>
        <source>database or disk is full</source>
        <translation>数据库或磁盘已满</translation>
    </message>
    <message>
        <source>no scratch folder could be made for the trial</source>
        <translation>无法为试运行创建临时文件夹</translation>
    </message>
    <message>
        <source>cannot be copied for the trial</source>
        <translation>无法复制以供试运行</translation>
    </message>
    <message>
        <source>the drafted settings cannot be written</source>
        <translation>无法写入待试的设置</translation>
    </message>
    <message>
        <source>cannot create the folder of %1</source>
        <translation>无法创建 %1 所在的文件夹</translation>
    </message>
    <message>
        <source>cannot read %1</source>
        <translation>无法读取 %1</translation>
    </message>
    <message>
        <source>cannot write %1</source>
        <translation>无法写入 %1</translation>
    </message>
    <message>
        <source>the secret of %1 is damaged</source>
        <translation>%1 的密钥已损坏</translation>
    </message>
    <message>
        <source>no place for secrets (set HOME or XDG_CONFIG_HOME)</source>
        <translation>没有存放密钥的位置（请设置 HOME 或 XDG_CONFIG_HOME）</translation>
    </message>
    <message>
        <source>schema update to %1 failed</source>
        <translation>数据库结构升级到第 %1 版失败</translation>
    </message>
    <message>
        <source>Connection refused</source>
        <translation>连接被拒绝</translation>
    </message>
    <message>
        <source>Connection reset by peer</source>
        <translation>连接被对方重置</translation>
    </message>
    <message>
        <source>Connection timed out</source>
        <translation>连接超时</translation>
    </message>
    <message>
        <source>No route to host</source>
        <translation>没有到主机的路由</translation>
    </message>
    <message>
        <source>Network is unreachable</source>
        <translation>网络不可达</translation>
    </message>
    <message>
        <source>timed out</source>
        <translation>超时</translation>
    </message>
    <message>
        <source>Name or service not known</source>
        <translation>未知的名称或服务</translation>
    </message>
    <message>
        <source>Temporary failure in name resolution</source>
        <translation>域名解析暂时失败</translation>
    </message>
    <message>
        <source>Servname not supported for ai_socktype</source>
        <translation>不支持的端口</translation>
    </message>
    <message>
        <source>feed address %1 is not -, tcp://HOST:PORT, unix:PATH or nats://HOST:PORT[/SUBJECT]</source>
        <translation>行情源地址 %1 不是 -、tcp://主机:端口、unix:路径 或 nats://主机:端口[/主题]</translation>
    </message>
</context>
<context>
    <name>CTrayIcon</name>
    <message>
        <source>显示窗口</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>暂停通知</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>15 分钟</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 小时</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>直到明天</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>恢复通知</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>退出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 条报警未查看</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通知已暂停</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
