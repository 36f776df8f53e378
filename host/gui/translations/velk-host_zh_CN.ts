<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
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
    <name>CDesktopAlertOutputs</name>
    <message>
        <source>报警历史无法打开: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>报警历史无法写入: %1</source>
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
</context>
<context>
    <name>CHostPrompt</name>
    <message>
        <source>行情预警</source>
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
    <name>CStartupDay</name>
    <message>
        <source>演示数据的条件文件未能复制，演示日将不会报警：
%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
