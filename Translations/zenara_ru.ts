<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>About</name>
    <message>
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Version 2.02</source>
        <translation>Версия 2.02</translation>
    </message>
    <message>
        <source>Satellite signal meter and DiSEqC 1.2 / USALS dish positioner.</source>
        <translation>Измеритель спутникового сигнала и позиционер антенны DiSEqC 1.2 / USALS.</translation>
    </message>
    <message>
        <source>Free software under the GNU GPL, version 3 or later. Satellite and transponder data: see SOURCES.md.</source>
        <translation>Свободная программа под лицензией GNU GPL версии 3 или более поздней. Данные о спутниках и транспондерах: см. SOURCES.md.</translation>
    </message>
    <message>
        <source>Settings: %1</source>
        <translation>Настройки: %1</translation>
    </message>
    <message>
        <source>Data folders: %1</source>
        <translation>Папки данных: %1</translation>
    </message>
</context>
<context>
    <name>DisqOptions</name>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>Местоположение</translation>
    </message>
    <message>
        <source>Longitude:</source>
        <translation>Долгота:</translation>
    </message>
    <message>
        <source>°</source>
        <translation>°</translation>
    </message>
    <message>
        <source>Latitude:</source>
        <translation>Широта:</translation>
    </message>
    <message>
        <source>Curves SNR / AGC</source>
        <translation>Графики SNR / AGC</translation>
    </message>
    <message>
        <source>Scale min:</source>
        <translation>Шкала от:</translation>
    </message>
    <message>
        <source>Scale max:</source>
        <translation>Шкала до:</translation>
    </message>
    <message>
        <source>Auto scale</source>
        <translation>Автомасштаб</translation>
    </message>
    <message>
        <source>Drive Motor</source>
        <translation>Привод</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>Тип:</translation>
    </message>
    <message>
        <source>Typical</source>
        <translation>Обычный</translation>
    </message>
    <message>
        <source>STAB</source>
        <translation>STAB</translation>
    </message>
    <message>
        <source>1° =</source>
        <translation>1° =</translation>
    </message>
    <message>
        <source>steps</source>
        <translation>шагов</translation>
    </message>
    <message>
        <source>Max. time of positioning 1°</source>
        <translation>Макс. время поворота на 1°</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>мс</translation>
    </message>
    <message>
        <source>GAP Time</source>
        <translation>Пауза замера</translation>
    </message>
    <message>
        <source>Max. angle</source>
        <translation>Макс. угол</translation>
    </message>
    <message>
        <source>Acoustic signalization</source>
        <translation>Звуковая сигнализация</translation>
    </message>
    <message>
        <source>Freq Min:</source>
        <translation>Частота от:</translation>
    </message>
    <message>
        <source>Hz</source>
        <translation>Гц</translation>
    </message>
    <message>
        <source>Freq Max:</source>
        <translation>Частота до:</translation>
    </message>
    <message>
        <source>Volume:</source>
        <translation>Громкость:</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>AGC scale Min:</source>
        <translation>AGC от:</translation>
    </message>
    <message>
        <source>AGC scale Max:</source>
        <translation>AGC до:</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Alt+O</source>
        <translation>Alt+O</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>О&amp;тмена</translation>
    </message>
    <message>
        <source>Alt+C</source>
        <translation>Alt+T</translation>
    </message>
    <message>
        <source>The latitude must lie between -90 and 90 degrees (north positive).</source>
        <translation>Широта должна быть от -90 до 90 градусов (север положителен).</translation>
    </message>
    <message>
        <source>The longitude must lie between -180 and 180 degrees (east positive).</source>
        <translation>Долгота должна быть от -180 до 180 градусов (восток положителен).</translation>
    </message>
    <message>
        <source>Min. elevation:</source>
        <translation>Мин. угол места:</translation>
    </message>
    <message>
        <source>Satellites lower in your sky are not offered: raise it when a hill or a house hides the horizon.</source>
        <translation>Спутники ниже этого угла не предлагаются: увеличьте его, если горизонт закрывает холм или дом.</translation>
    </message>
    <message>
        <source>West gotos send 0x00 with Typical and 0xD0 with STAB (east gotos always 0xE0). Many USALS motors take only 0xD0: if a west goto does not move your dish, choose STAB.</source>
        <translation>Переход на запад посылает 0x00 при Typical и 0xD0 при STAB (на восток всегда 0xE0). Многие моторы USALS понимают только 0xD0: если при переходе на запад антенна не движется, выберите STAB.</translation>
    </message>
    <message>
        <source>Dish diameter:</source>
        <translation>Диаметр антенны:</translation>
    </message>
    <message>
        <source>How wide the fine-tune sweeps across the beam: the narrower the dish, the wider the beam.</source>
        <translation>Насколько широко точная настройка проходит через луч: чем меньше антенна, тем шире луч.</translation>
    </message>
    <message>
        <source>m</source>
        <translation>м</translation>
    </message>
    <message>
        <source>The longitude &quot;%1&quot; is not a number (degrees, east positive, such as 43.5 or -3.7).</source>
        <translation>Долгота «%1» — не число (градусы, восток положителен, например 43.5 или -3.7).</translation>
    </message>
    <message>
        <source>The latitude &quot;%1&quot; is not a number (degrees, north positive, such as 45.0 or -33.9).</source>
        <translation>Широта «%1» — не число (градусы, север положителен, например 45.0 или -33.9).</translation>
    </message>
    <message>
        <source>The minimum elevation &quot;%1&quot; is not a number (degrees, such as 5.0).</source>
        <translation>Минимальный угол места «%1» — не число (градусы, например 5.0).</translation>
    </message>
    <message>
        <source>The steps per degree &quot;%1&quot; are not a number (such as 9.60).</source>
        <translation>Шагов на градус «%1» — не число (например 9.60).</translation>
    </message>
    <message>
        <source>The dish diameter &quot;%1&quot; is not a number (metres, such as 0.80).</source>
        <translation>Диаметр антенны «%1» — не число (метры, например 0.80).</translation>
    </message>
    <message>
        <source>The dish diameter must lie between %1 and %2 metres.</source>
        <translation>Диаметр антенны должен быть от %1 до %2 метров.</translation>
    </message>
    <message>
        <source>The minimum elevation must lie between %1 and %2 degrees.</source>
        <translation>Минимальный угол места должен лежать между %1 и %2 градусами.</translation>
    </message>
    <message>
        <source>The AGC scale&apos;s minimum must lie between %1 and %2.</source>
        <translation>Минимум шкалы AGC должен лежать между %1 и %2.</translation>
    </message>
    <message>
        <source>The AGC scale&apos;s maximum must lie between %1 and %2.</source>
        <translation>Максимум шкалы AGC должен лежать между %1 и %2.</translation>
    </message>
    <message>
        <source>Auto scale is 0 (off) or 1 (on).</source>
        <translation>Автомасштаб: 0 (выкл.) или 1 (вкл.).</translation>
    </message>
    <message>
        <source>The drive version is 0 (Typical) or 1 (STAB).</source>
        <translation>Версия привода: 0 (Typical) или 1 (STAB).</translation>
    </message>
    <message>
        <source>The motor must take between %1 and %2 steps for a degree.</source>
        <translation>На один градус мотору нужно от %1 до %2 шагов.</translation>
    </message>
    <message>
        <source>The maximum time of positioning 1° must lie between %1 and %2 ms.</source>
        <translation>Максимальное время позиционирования на 1° должно лежать между %1 и %2 мс.</translation>
    </message>
    <message>
        <source>The GAP time must lie between %1 and %2 ms.</source>
        <translation>Время GAP должно лежать между %1 и %2 мс.</translation>
    </message>
    <message>
        <source>The maximum angle must lie between %1 and %2 degrees.</source>
        <translation>Максимальный угол должен лежать между %1 и %2 градусами.</translation>
    </message>
    <message>
        <source>The tone&apos;s lowest frequency must lie between %1 and %2 Hz.</source>
        <translation>Нижняя частота тона должна лежать между %1 и %2 Гц.</translation>
    </message>
    <message>
        <source>The tone&apos;s highest frequency must lie between %1 and %2 Hz.</source>
        <translation>Верхняя частота тона должна лежать между %1 и %2 Гц.</translation>
    </message>
    <message>
        <source>The volume must lie between %1 and %2 per cent.</source>
        <translation>Громкость должна лежать между %1 и %2 процентами.</translation>
    </message>
    <message>
        <source>The tone&apos;s AGC scale minimum must lie between %1 and %2 per cent.</source>
        <translation>Минимум шкалы AGC для тона должен лежать между %1 и %2 процентами.</translation>
    </message>
    <message>
        <source>The tone&apos;s AGC scale maximum must lie between %1 and %2 per cent.</source>
        <translation>Максимум шкалы AGC для тона должен лежать между %1 и %2 процентами.</translation>
    </message>
    <message>
        <source>How long the motor took a degree in gotos whose end the signal showed. Gotos are timed with it instead of the maximum time of positioning.</source>
        <translation>Сколько мотор шёл один градус в переходах, конец которых был виден по сигналу. Переходы рассчитываются по этому времени, а не по максимальному времени позиционирования.</translation>
    </message>
    <message>
        <source>Forget</source>
        <translation>Забыть</translation>
    </message>
    <message>
        <source>Time gotos with the maximum time of positioning again, until the motor&apos;s speed is learnt anew.</source>
        <translation>Снова рассчитывать переходы по максимальному времени позиционирования, пока скорость мотора не будет измерена заново.</translation>
    </message>
    <message>
        <source>%1 ms/°</source>
        <translation>%1 мс/°</translation>
    </message>
    <message>
        <source>not yet</source>
        <translation>пока нет</translation>
    </message>
    <message>
        <source>Learnt from gotos: %1 at 18 V, %2 at 13 V</source>
        <translation>Измерено по переходам: %1 при 18 В, %2 при 13 В</translation>
    </message>
    <message>
        <source>The motor&apos;s learnt time a degree must lie between %1 and %2 ms (0: not learnt).</source>
        <translation>Измеренное время мотора на градус должно быть от %1 до %2 мс (0: не измерено).</translation>
    </message>
</context>
<context>
    <name>PhoneMeterDialog</name>
    <message>
        <source>Phone meter</source>
        <translation>Измеритель на телефоне</translation>
    </message>
    <message>
        <source>Take the signal meter and the dish&apos;s controls to the roof: a phone on the same network opens this address, or scans the code. Anyone with the link can move the dish; a new link locks out the old one.</source>
        <translation>Возьмите измеритель сигнала и управление антенной на крышу: телефон в той же сети открывает этот адрес или сканирует код. Любой, у кого есть ссылка, может двигать антенну; новая ссылка отключает старую.</translation>
    </message>
    <message>
        <source>&amp;Address:</source>
        <translation>&amp;Адрес:</translation>
    </message>
    <message>
        <source>&amp;Port:</source>
        <translation>&amp;Порт:</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Включить</translation>
    </message>
    <message>
        <source>&amp;New link</source>
        <translation>&amp;Новая ссылка</translation>
    </message>
    <message>
        <source>All networks</source>
        <translation>Все сети</translation>
    </message>
    <message>
        <source>This computer only</source>
        <translation>Только этот компьютер</translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation>&amp;Остановить</translation>
    </message>
    <message>
        <source>Off: nothing is served.</source>
        <translation>Выключено: ничего не раздаётся.</translation>
    </message>
    <message>
        <source>Serving; phones watching: %1</source>
        <translation>Работает; телефонов подключено: %1</translation>
    </message>
</context>
<context>
    <name>Receivers</name>
    <message>
        <source>dvb  a satellite card through the Linux DVB API: the first DVB-S frontend, or
     dvb:/dev/dvb/adapterN/frontendM for that one</source>
        <translation>dvb  спутниковая карта через Linux DVB API: первый фронтенд DVB-S или
     dvb:/dev/dvb/adapterN/frontendM для указанного</translation>
    </message>
    <message>
        <source>dvb-fake:SCRIPT  the Linux DVB back end on a scripted frontend, for trying it out</source>
        <translation>dvb-fake:SCRIPT  драйвер Linux DVB на фронтенде по сценарию, для проб</translation>
    </message>
    <message>
        <source>auto  the first DVB satellite frontend, else the simulated card (default)</source>
        <translation>auto  первый спутниковый фронтенд DVB, иначе симулятор карты (по умолчанию)</translation>
    </message>
    <message>
        <source>simulated receiver</source>
        <translation>симулятор приёмника</translation>
    </message>
    <message>
        <source>simulated DVB-S receiver (TDA10086)</source>
        <translation>симулятор приёмника DVB-S (TDA10086)</translation>
    </message>
    <message>
        <source>sim  the simulated card (default). Options, comma-separated after the name:
     card=s2|tda10086        a demodulator for DVB-S and DVB-S2 (default), or
                             the TDA10086 alone: DVB-S only, as the old cards
     fail=open|init|bind     the card does not open, its frontend does not
                             initialise, or its register bus cannot be bound
     fail=diseqc             the card&apos;s switch command and tone burst fail
     bus-error=all|lnb|REG   transfers fail always, to the LNB supply, or on
                             demodulator register REG (e.g. 0x43); repeatable
     bus-error-code=N        the code failed transfers return (default 5)
     diseqc=stuck            the DiSEqC transmitter never becomes ready again
     vanish=S                the card stops answering S seconds after it opens
     vanish-on=FILE          the card stops answering once FILE exists
     config=FILE             site, dish, motor and sky (same as --sim-config)
     latitude=DEG            where the dish stands (default: the site in
     longitude=DEG           the program&apos;s options, followed as it changes)
     fresh                   the motor starts from its reference, not where
                             the last run left it
     dish=M                  dish diameter in metres (default 0.8)
     axis-azimuth=DEG        the mount turned east of where it should face
                             (default 0.15; also azimuth-error=)
     axis-elevation=DEG      the mount tipped up: the dish points higher
                             (default 0.3; also elevation-error=)
     declination-error=DEG   the declination offset set too large: the dish
                             points lower along the whole arc (default 0)
     motor-zero=DEG          at motor angle 0 the dish points this far east
                             along the arc (default 0); each error -5..5
     mount-seed=N            a random mount: each error not given drawn
                             within +-1 degree, the same for the same N
     mount-spread=DEG        how far the random errors go (default 1)
     rain=DB                 rain fade on the path (default 0)
     skew=DEG                LNB polarisation angle error (default 0)
     lof-offset=MHZ          LNB oscillator error (default 0)
     eirp=DBW                EIRP of a satellite without its own (default 50)
     backlash=DEG            play in the motor&apos;s gears (default 0.05)
     ignore-west-0=1         the motor ignores gotos west sent with code 0x00
     seed=N                  seed of the readings&apos; noise (default 1)
     scene=fixed             every tune locks; no dish, motor or sky</source>
        <translation>sim  симулятор карты (по умолчанию). Параметры через запятую после имени:
     card=s2|tda10086        демодулятор DVB-S и DVB-S2 (по умолчанию) или
                             один TDA10086: только DVB-S, как у старых карт
     fail=open|init|bind     карта не открывается, её фронтенд не
                             инициализируется или шина регистров недоступна
     fail=diseqc             команда переключателя и тон-бёрст карты не проходят
     bus-error=all|lnb|REG   обмен не проходит всегда, с питанием конвертера или
                             с регистром демодулятора REG (напр. 0x43); повторяемо
     bus-error-code=N        код ошибки обмена (по умолчанию 5)
     diseqc=stuck            передатчик DiSEqC больше не становится готов
     vanish=S                карта перестаёт отвечать через S секунд после открытия
     vanish-on=FILE          карта перестаёт отвечать, как только появится FILE
     config=FILE             место, антенна, мотор и небо (как --sim-config)
     latitude=DEG            где стоит антенна (по умолчанию место из настроек
     longitude=DEG           программы, и вслед за их изменением)
     fresh                   мотор начинает с опорной точки, а не там, где его
                             оставил прошлый запуск
     dish=M                  диаметр антенны в метрах (по умолчанию 0.8)
     axis-azimuth=DEG        подвес повёрнут к востоку от нужного направления
                             (по умолчанию 0.15; то же azimuth-error=)
     axis-elevation=DEG      подвес наклонён вверх: антенна смотрит выше
                             (по умолчанию 0.3; то же elevation-error=)
     declination-error=DEG   угол склонения выставлен слишком большим: антенна
                             смотрит ниже по всей дуге (по умолчанию 0)
     motor-zero=DEG          при угле мотора 0 антенна смотрит на столько
                             восточнее по дуге (по умолчанию 0); каждая -5..5
     mount-seed=N            случайный подвес: каждая не заданная ошибка
                             в пределах +-1 градуса, одинаково при том же N
     mount-spread=DEG        разброс случайных ошибок (по умолчанию 1)
     rain=DB                 ослабление дождём на трассе (по умолчанию 0)
     skew=DEG                ошибка угла поляризации конвертера (по умолчанию 0)
     lof-offset=MHZ          уход гетеродина конвертера (по умолчанию 0)
     eirp=DBW                ЭИИМ спутника без собственного значения (по умолчанию 50)
     backlash=DEG            люфт редуктора мотора (по умолчанию 0.05)
     ignore-west-0=1         мотор не выполняет переход на запад с кодом 0x00
     seed=N                  затравка шума показаний (по умолчанию 1)
     scene=fixed             любая настройка даёт захват; без антенны, мотора и неба</translation>
    </message>
</context>
<context>
    <name>SiteView</name>
    <message>
        <source>Azimuth (degrees, true)</source>
        <translation>Азимут (градусы, истинный)</translation>
    </message>
    <message>
        <source>Elevation (degrees)</source>
        <translation>Угол места (градусы)</translation>
    </message>
    <message>
        <source>Visible arc</source>
        <translation>Видимая дуга</translation>
    </message>
    <message>
        <source>Satellites</source>
        <translation>Спутники</translation>
    </message>
    <message>
        <source>dish</source>
        <translation>антенна</translation>
    </message>
    <message>
        <source>Site %1, %2</source>
        <translation>Место %1, %2</translation>
    </message>
    <message>
        <source>Azimuth %1 (true)</source>
        <translation>Азимут %1 (истинный)</translation>
    </message>
    <message>
        <source>Elevation %1</source>
        <translation>Угол места %1</translation>
    </message>
    <message>
        <source>USALS motor angle %1</source>
        <translation>Угол мотора USALS %1</translation>
    </message>
    <message>
        <source>Polar mount:</source>
        <translation>Полярный подвес:</translation>
    </message>
    <message>
        <source>Declination offset %1</source>
        <translation>Угол склонения %1</translation>
    </message>
    <message>
        <source>Arc top elevation %1</source>
        <translation>Высота вершины дуги %1</translation>
    </message>
    <message>
        <source>Fixed dish: LNB skew %1</source>
        <translation>Без мотора: поворот конвертера %1</translation>
    </message>
    <message>
        <source>clockwise from behind the dish</source>
        <translation>по часовой стрелке (вид из-за антенны)</translation>
    </message>
    <message>
        <source>anticlockwise from behind the dish</source>
        <translation>против часовой стрелки (вид из-за антенны)</translation>
    </message>
    <message>
        <source>LNB skew: follows the arc</source>
        <translation>Поворот конвертера: по дуге</translation>
    </message>
    <message>
        <source>LNB skew: follows the arc, plus %1</source>
        <translation>Поворот конвертера: по дуге, плюс %1</translation>
    </message>
    <message>
        <source>Arc top LNB skew %1</source>
        <translation>Поворот конвертера на вершине %1</translation>
    </message>
    <message>
        <source>The calibrated dish&apos;s path</source>
        <translation>Путь откалиброванной антенны</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Zenara points a satellite dish: signal meter and DiSEqC 1.2/USALS positioner.</source>
        <translation>Zenara наводит спутниковую антенну: измеритель сигнала и позиционер DiSEqC 1.2/USALS.</translation>
    </message>
    <message>
        <source>Receivers:</source>
        <translation>Приёмники:</translation>
    </message>
    <message>
        <source>Write every card operation to &lt;file&gt;, one line each, as it happens.</source>
        <translation>Записывать каждую операцию с картой в &lt;file&gt;, по строке, по мере выполнения.</translation>
    </message>
    <message>
        <source>Site, dish, motor and sky of the simulated receiver (INI &lt;file&gt;).</source>
        <translation>Место, антенна, мотор и небо симулятора приёмника (INI-файл &lt;file&gt;).</translation>
    </message>
    <message>
        <source>Turn the FILEs (Enigma2 satellites.xml, DVBv5 scan tables) into a satellite list and transponder files in the --into folder.</source>
        <translation>Преобразовать файлы FILE (satellites.xml Enigma2, таблицы сканирования DVBv5) в список спутников и файлы транспондеров в папке --into.</translation>
    </message>
    <message>
        <source>Folder the --import writes to.</source>
        <translation>Папка, в которую пишет --import.</translation>
    </message>
    <message>
        <source>Let --import replace existing files (and keep the last of satellites read twice).</source>
        <translation>Разрешить --import заменять существующие файлы (из дважды прочитанных спутников остаётся последний).</translation>
    </message>
    <message>
        <source>Let --import write nothing when it would skip an entry.</source>
        <translation>Не записывать ничего при --import, если пришлось бы пропустить запись.</translation>
    </message>
    <message>
        <source>Print the satellite list as the window shows it, then exit.</source>
        <translation>Вывести список спутников, как его показывает окно, и выйти.</translation>
    </message>
    <message>
        <source>Site for --print-satellites instead of the configured one.</source>
        <translation>Место для --print-satellites вместо заданного в настройках.</translation>
    </message>
    <message>
        <source>Print the transponders of a transponder file as the window shows them, then exit.</source>
        <translation>Вывести транспондеры из файла транспондеров, как их показывает окно, и выйти.</translation>
    </message>
    <message>
        <source>Files to --import.</source>
        <translation>Файлы для --import.</translation>
    </message>
    <message>
        <source>The receiver to use (default: auto).</source>
        <translation>Используемый приёмник (по умолчанию: auto).</translation>
    </message>
    <message>
        <source>List the DVB frontends found, then exit.</source>
        <translation>Вывести найденные фронтенды DVB и выйти.</translation>
    </message>
    <message>
        <source>No DVB frontend found in /dev/dvb.</source>
        <translation>В /dev/dvb не найдено ни одного фронтенда DVB.</translation>
    </message>
    <message>
        <source>Append a CSV line per poll (time, transponder, flags, AGC, SNR, BER, blocks, markers) to &lt;file&gt;.</source>
        <translation>Дописывать в &lt;file&gt; строку CSV на каждый опрос (время, транспондер, флаги, AGC, SNR, BER, блоки, метки).</translation>
    </message>
    <message>
        <source>Serve the phone meter at [address:]port (this computer only when no address is given); its window shows the link.</source>
        <translation>Запустить измеритель на телефоне по [адресу:]порту (без адреса — только для этого компьютера); ссылку показывает его окно.</translation>
    </message>
    <message>
        <source>Send a command to the running Zenara and print its reply as JSON (--remote help lists the commands).</source>
        <translation>Отправить команду работающей Zenara и вывести её ответ в JSON (список команд: --remote help).</translation>
    </message>
</context>
<context>
    <name>safefile</name>
    <message>
        <source>it is a pipe (FIFO), not a file</source>
        <translation>это канал (FIFO), а не файл</translation>
    </message>
    <message>
        <source>it is a folder, not a file</source>
        <translation>это папка, а не файл</translation>
    </message>
    <message>
        <source>it is a device or a socket, not a file</source>
        <translation>это устройство или сокет, а не файл</translation>
    </message>
    <message>
        <source>it is larger than %1 MB</source>
        <translation>он больше %1 МБ</translation>
    </message>
</context>
<context>
    <name>zenaraForm</name>
    <message>
        <source>Zenara 2.02</source>
        <translation>Zenara 2.02</translation>
    </message>
    <message>
        <source>Tuner-Status</source>
        <translation>Состояние</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Статус</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;center&quot;&gt;CAR&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;center&quot;&gt;CAR&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;center&quot;&gt;SIG&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;center&quot;&gt;SIG&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;center&quot;&gt;VIT&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;center&quot;&gt;VIT&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;center&quot;&gt;SYN&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;center&quot;&gt;SYN&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;center&quot;&gt;LCK&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;center&quot;&gt;LCK&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;center&quot;&gt;TIM&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;center&quot;&gt;TIM&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;center&quot;&gt;RNT&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;center&quot;&gt;RNT&lt;/p&gt;</translation>
    </message>
    <message>
        <source>BER</source>
        <translation>BER</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;left&quot;&gt;1&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;left&quot;&gt;1&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;center&quot;&gt;0.001&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;center&quot;&gt;0.001&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;right&quot;&gt;0&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;right&quot;&gt;0&lt;/p&gt;</translation>
    </message>
    <message>
        <source>UCB</source>
        <translation>UCB</translation>
    </message>
    <message>
        <source>Clear uncorrected-block counter</source>
        <translation>Сбросить счётчик неисправленных блоков</translation>
    </message>
    <message>
        <source>AGC %</source>
        <translation>AGC %</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;left&quot;&gt;0&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;left&quot;&gt;0&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;center&quot;&gt;0&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;center&quot;&gt;0&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;right&quot;&gt;100&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;right&quot;&gt;100&lt;/p&gt;</translation>
    </message>
    <message>
        <source>SNR %</source>
        <translation>SNR %</translation>
    </message>
    <message>
        <source>Acoustic signalization</source>
        <translation>Звуковой сигнал</translation>
    </message>
    <message>
        <source>DiSEqC 1.0/2.0</source>
        <translation>DiSEqC 1.0/2.0</translation>
    </message>
    <message>
        <source>DiSEqC</source>
        <translation>DiSEqC</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Нет</translation>
    </message>
    <message>
        <source>None DiSEqC</source>
        <translation>Без DiSEqC</translation>
    </message>
    <message>
        <source>Simple</source>
        <translation>Простой</translation>
    </message>
    <message>
        <source>Simple DiSEqC</source>
        <translation>Простой DiSEqC (тон-бёрст)</translation>
    </message>
    <message>
        <source>A (TB 0)</source>
        <translation>A (TB 0)</translation>
    </message>
    <message>
        <source>B (TB 1)</source>
        <translation>B (TB 1)</translation>
    </message>
    <message>
        <source>Pos:A, Opt:A</source>
        <translation>Поз:A, Опц:A</translation>
    </message>
    <message>
        <source>Pos:A, Opt:B</source>
        <translation>Поз:A, Опц:B</translation>
    </message>
    <message>
        <source>Pos:B, Opt:A</source>
        <translation>Поз:B, Опц:A</translation>
    </message>
    <message>
        <source>Pos:B, Opt:B</source>
        <translation>Поз:B, Опц:B</translation>
    </message>
    <message>
        <source>LNB</source>
        <translation>Конвертер</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>Тип:</translation>
    </message>
    <message>
        <source>LNB type</source>
        <translation>Тип конвертера</translation>
    </message>
    <message>
        <source>UNIVERSAL</source>
        <translation>УНИВЕРСАЛЬНЫЙ</translation>
    </message>
    <message>
        <source>DBS</source>
        <translation>DBS</translation>
    </message>
    <message>
        <source>STANDARD</source>
        <translation>СТАНДАРТНЫЙ</translation>
    </message>
    <message>
        <source>ENHANCED</source>
        <translation>РАСШИРЕННЫЙ</translation>
    </message>
    <message>
        <source>C-BAND</source>
        <translation>C-ДИАПАЗОН</translation>
    </message>
    <message>
        <source>CUSTOM</source>
        <translation>СВОЙ</translation>
    </message>
    <message>
        <source>LOF 1:</source>
        <translation>Гетеродин 1:</translation>
    </message>
    <message>
        <source>9750</source>
        <translation>9750</translation>
    </message>
    <message>
        <source>MHz</source>
        <translation>МГц</translation>
    </message>
    <message>
        <source>Switch:</source>
        <translation>Переключение:</translation>
    </message>
    <message>
        <source>11700</source>
        <translation>11700</translation>
    </message>
    <message>
        <source>LOF 2:</source>
        <translation>Гетеродин 2:</translation>
    </message>
    <message>
        <source>10600</source>
        <translation>10600</translation>
    </message>
    <message>
        <source>LNBP21</source>
        <translation>LNBP21</translation>
    </message>
    <message>
        <source>IOUT(max)=650mA</source>
        <translation>IOUT(макс)=650 мА</translation>
    </message>
    <message>
        <source>VOUT High</source>
        <translation>VOUT повышенное</translation>
    </message>
    <message>
        <source>Power</source>
        <translation>Питание</translation>
    </message>
    <message>
        <source>Power on/off</source>
        <translation>Питание вкл/выкл</translation>
    </message>
    <message>
        <source>Power status</source>
        <translation>Состояние питания</translation>
    </message>
    <message>
        <source>Tuner-Setting</source>
        <translation>Настройка тюнера</translation>
    </message>
    <message>
        <source>Freqency, Polarization, Symbol-Rate, FEC</source>
        <translation>Частота, поляризация, символьная скорость, FEC</translation>
    </message>
    <message>
        <source>Transponder freqency</source>
        <translation>Частота транспондера</translation>
    </message>
    <message>
        <source>Polarization:</source>
        <translation>Поляризация:</translation>
    </message>
    <message>
        <source>V</source>
        <translation>V</translation>
    </message>
    <message>
        <source>Vertical polarization</source>
        <translation>Вертикальная поляризация</translation>
    </message>
    <message>
        <source>H</source>
        <translation>H</translation>
    </message>
    <message>
        <source>Horizontal polarization</source>
        <translation>Горизонтальная поляризация</translation>
    </message>
    <message>
        <source>Symbol Rate</source>
        <translation>Символьная скорость</translation>
    </message>
    <message>
        <source>FEC:</source>
        <translation>FEC:</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Уст.</translation>
    </message>
    <message>
        <source>RAW Data</source>
        <translation>Данные RAW</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Отпр.</translation>
    </message>
    <message>
        <source>Send RAW Data</source>
        <translation>Отправить данные RAW</translation>
    </message>
    <message>
        <source>Halt Motor</source>
        <translation>Стоп мотор</translation>
    </message>
    <message>
        <source>Stop Positioner Motor</source>
        <translation>Остановить мотор позиционера</translation>
    </message>
    <message>
        <source>Sattelite</source>
        <translation>Спутник</translation>
    </message>
    <message>
        <source>USALS</source>
        <translation>USALS</translation>
    </message>
    <message>
        <source>Goto x.x°</source>
        <translation>На x.x°</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Позиция</translation>
    </message>
    <message>
        <source>Satellite Position</source>
        <translation>Позиция спутника</translation>
    </message>
    <message>
        <source>Goto</source>
        <translation>Перейти</translation>
    </message>
    <message>
        <source>Store</source>
        <translation>Запомн.</translation>
    </message>
    <message>
        <source>Set/Unset Position</source>
        <translation>Назначить/снять позицию</translation>
    </message>
    <message>
        <source>Tune</source>
        <translation>Точно</translation>
    </message>
    <message>
        <source>Drive Motor</source>
        <translation>Привод</translation>
    </message>
    <message>
        <source>East</source>
        <translation>Восток</translation>
    </message>
    <message>
        <source>Drive Motor East</source>
        <translation>Повернуть на восток</translation>
    </message>
    <message>
        <source>&lt;p align=&quot;center&quot;&gt;&lt;b&gt;.&lt;/b&gt;&lt;/p&gt;</source>
        <translation>&lt;p align=&quot;center&quot;&gt;&lt;b&gt;.&lt;/b&gt;&lt;/p&gt;</translation>
    </message>
    <message>
        <source>West</source>
        <translation>Запад</translation>
    </message>
    <message>
        <source>Drive Motor West</source>
        <translation>Повернуть на запад</translation>
    </message>
    <message>
        <source>Steps</source>
        <translation>Шаги</translation>
    </message>
    <message>
        <source>Seconds</source>
        <translation>Секунды</translation>
    </message>
    <message>
        <source>Degrees</source>
        <translation>Градусы</translation>
    </message>
    <message>
        <source>Autotuning</source>
        <translation>Автоподстройка</translation>
    </message>
    <message>
        <source>Step ±:</source>
        <translation>Шаг ±:</translation>
    </message>
    <message>
        <source>Hill climb: single steps east, then west, while the AGC rises (at most Step ± each way). Sweep and fit: across the whole beam, then to the peak fitted to the SNR readings (slower, more exact).</source>
        <translation>Подъём: по шагу на восток, затем на запад, пока растёт AGC (не более «Шаг ±» в каждую сторону). Проход: через весь луч, затем в максимум, найденный по замерам SNR (медленнее, точнее).</translation>
    </message>
    <message>
        <source>Hill climb</source>
        <translation>Подъём</translation>
    </message>
    <message>
        <source>Sweep and fit</source>
        <translation>Проход</translation>
    </message>
    <message>
        <source>Soft Limits</source>
        <translation>Программные пределы</translation>
    </message>
    <message>
        <source>Limit E</source>
        <translation>Предел В</translation>
    </message>
    <message>
        <source>Set East Limit (and enable limits)</source>
        <translation>Задать восточный предел (и включить пределы)</translation>
    </message>
    <message>
        <source>Limit Off</source>
        <translation>Пределы выкл</translation>
    </message>
    <message>
        <source>Disable Limits</source>
        <translation>Отключить пределы</translation>
    </message>
    <message>
        <source>Limit W</source>
        <translation>Предел З</translation>
    </message>
    <message>
        <source>Set West Limit (and enable limits)</source>
        <translation>Задать западный предел (и включить пределы)</translation>
    </message>
    <message>
        <source>Viterbi Bit Error Rate / AGC / SNR</source>
        <translation>Ошибки после Витерби (BER) / AGC / SNR</translation>
    </message>
    <message>
        <source>AGC</source>
        <translation>AGC</translation>
    </message>
    <message>
        <source>SNR</source>
        <translation>SNR</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Файл</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Параметры</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Выход</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message>
        <source>Drive Motor to Satellite Position [nn] or Angular Position [°]</source>
        <translation>Повернуть антенну на позицию спутника [nn] или на угол [°]</translation>
    </message>
    <message>
        <source>&amp;Toolbars</source>
        <translation>&amp;Панели инструментов</translation>
    </message>
    <message>
        <source>No audio output was found, so the acoustic signal is off. It needs a sound card or sound server and Qt&apos;s audio plugins (libqt5multimedia5-plugins).</source>
        <translation>Звуковой выход не найден, поэтому звуковой сигнал выключен. Нужны звуковая карта или звуковой сервер и аудиомодули Qt (libqt5multimedia5-plugins).</translation>
    </message>
    <message>
        <source>The settings could not be written to %1</source>
        <translation>Не удалось записать настройки в %1</translation>
    </message>
    <message>
        <source>CDVBCommon::OpenDevice(0) failed</source>
        <translation>Ошибка CDVBCommon::OpenDevice(0)</translation>
    </message>
    <message>
        <source>CDVBFrontend::Init() failed</source>
        <translation>Ошибка CDVBFrontend::Init()</translation>
    </message>
    <message>
        <source>Unknown version ttlcdacc.dll</source>
        <translation>Неизвестная версия ttlcdacc.dll</translation>
    </message>
    <message>
        <source>Fatal error</source>
        <translation>Неустранимая ошибка</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Выйти</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>UnSet</source>
        <translation>Снять</translation>
    </message>
    <message>
        <source>Goto x.x°: the selected row shows no motor angle, so nothing was sent</source>
        <translation>На x.x°: в выбранной строке нет угла мотора, команда не отправлена</translation>
    </message>
    <message>
        <source>Frequency should be from
(%1 MHz - %2 MHz)</source>
        <translation>Частота должна быть в пределах
(%1 МГц - %2 МГц)</translation>
    </message>
    <message>
        <source>%1 is not a number: &quot;%2&quot;</source>
        <translation>%1 — не число: «%2»</translation>
    </message>
    <message>
        <source>CDVBFrontend::SendDiSEqCMsg(...) failed</source>
        <translation>Ошибка CDVBFrontend::SendDiSEqCMsg(...)</translation>
    </message>
    <message>
        <source>CDVBFrontend::SetChannel(...) failed</source>
        <translation>Ошибка CDVBFrontend::SetChannel(...)</translation>
    </message>
    <message>
        <source>No errors.</source>
        <translation>Ошибок нет.</translation>
    </message>
    <message>
        <source>File not found.</source>
        <translation>Файл не найден.</translation>
    </message>
    <message>
        <source>Error loading file.</source>
        <translation>Ошибка загрузки файла.</translation>
    </message>
    <message>
        <source>An invalid object handle was used.</source>
        <translation>Использован недопустимый дескриптор объекта.</translation>
    </message>
    <message>
        <source>No audio output is available.</source>
        <translation>Звуковой выход недоступен.</translation>
    </message>
    <message>
        <source>The sound system is not initialised.</source>
        <translation>Звуковая система не инициализирована.</translation>
    </message>
    <message>
        <source>Unknown error.</source>
        <translation>Неизвестная ошибка.</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Sound error! (%1) %2
</source>
        <translation>Ошибка звука! (%1) %2
</translation>
    </message>
    <message>
        <source>You are using an old version of the sound layer %1. This program requires %2
</source>
        <translation>Используется старая версия звуковой библиотеки %1. Программе нужна %2
</translation>
    </message>
    <message>
        <source>RAW Data: byte %1, &quot;%2&quot;, is not a hexadecimal number</source>
        <translation>Данные RAW: байт %1, «%2», — не шестнадцатеричное число</translation>
    </message>
    <message>
        <source>RAW Data: byte %1 is empty while a later byte is filled</source>
        <translation>Данные RAW: байт %1 пуст, а следующий заполнен</translation>
    </message>
    <message>
        <source>Motor: %1</source>
        <translation>Мотор: %1</translation>
    </message>
    <message>
        <source>, %1 s left</source>
        <translation>, осталось %1 с</translation>
    </message>
    <message>
        <source>, dish at about %1</source>
        <translation>, антенна примерно на %1</translation>
    </message>
    <message>
        <source>Motor halted</source>
        <translation>Мотор остановлен</translation>
    </message>
    <message>
        <source>Motor: %1 done</source>
        <translation>Мотор: %1 выполнено</translation>
    </message>
    <message>
        <source>Frontend::tda10086_send_master_cmd(...) failed</source>
        <translation>Ошибка Frontend::tda10086_send_master_cmd(...)</translation>
    </message>
    <message>
        <source>tda10086_send_master_cmd(...) failed</source>
        <translation>Ошибка tda10086_send_master_cmd(...)</translation>
    </message>
    <message>
        <source>Halt</source>
        <translation>Стоп</translation>
    </message>
    <message>
        <source>Limits Off</source>
        <translation>Пределы выкл</translation>
    </message>
    <message>
        <source>Goto %1°: the motor takes angles up to 255.9°</source>
        <translation>На %1°: мотор принимает углы не более 255.9°</translation>
    </message>
    <message>
        <source>Tune Begin</source>
        <translation>Подстройка: начало</translation>
    </message>
    <message>
        <source>Tune End</source>
        <translation>Подстройка: конец</translation>
    </message>
    <message>
        <source>Tune: no beam was found across the sweep</source>
        <translation>Подстройка: при проходе луч не найден</translation>
    </message>
    <message>
        <source>Time/seconds</source>
        <translation>Время, с</translation>
    </message>
    <message>
        <source>SNR%, AGC%</source>
        <translation>SNR%, AGC%</translation>
    </message>
    <message>
        <source>Receiver: %1</source>
        <translation>Приёмник: %1</translation>
    </message>
    <message>
        <source>The signal log %1 cannot be written: %2</source>
        <translation>Журнал сигнала %1 нельзя записать: %2</translation>
    </message>
    <message>
        <source>The signal log %1 could not be written; logging stopped</source>
        <translation>Не удалось записать журнал сигнала %1; запись остановлена</translation>
    </message>
    <message>
        <source>Carrier to noise ratio (Es/N0) estimated from the SNR reading, and how far it lies above the threshold of the code rate in use</source>
        <translation>Отношение несущая/шум (Es/N0), оценённое по показанию SNR, и запас над порогом используемой скорости кода</translation>
    </message>
    <message>
        <source>Site</source>
        <translation>Место</translation>
    </message>
    <message>
        <source>C/N --</source>
        <translation>C/N --</translation>
    </message>
    <message>
        <source>C/N %1 dB</source>
        <translation>C/N %1 дБ</translation>
    </message>
    <message>
        <source>The network the locked transponder names in its network information table, and the orbital position it gives, against the satellite chosen in the list</source>
        <translation>Сеть, которую называет принятый транспондер в таблице NIT, и указанная там орбитальная позиция в сравнении со спутником, выбранным в списке</translation>
    </message>
    <message>
        <source>Network: %1</source>
        <translation>Сеть: %1</translation>
    </message>
    <message>
        <source>Network: %1 — %2</source>
        <translation>Сеть: %1 — %2</translation>
    </message>
    <message>
        <source>Network: none received</source>
        <translation>Сеть: сведений нет</translation>
    </message>
    <message>
        <source>The settings could not be written to %1; the changes of this session are lost.</source>
        <translation>Не удалось записать настройки в %1; изменения этого сеанса потеряны.</translation>
    </message>
    <message>
        <source>No satellites: %1 was not found or holds none (looked for in the working folder and in %2)</source>
        <translation>Нет спутников: файл %1 не найден или пуст (искали в рабочей папке и в %2)</translation>
    </message>
    <message>
        <source>Tuner-&amp;Status</source>
        <translation>&amp;Состояние</translation>
    </message>
    <message>
        <source>DiSEqC 1.&amp;0/2.0</source>
        <translation>DiSEqC 1.&amp;0/2.0</translation>
    </message>
    <message>
        <source>&amp;LNB</source>
        <translation>&amp;Конвертер</translation>
    </message>
    <message>
        <source>Tuner-Se&amp;ttings</source>
        <translation>&amp;Настройка тюнера</translation>
    </message>
    <message>
        <source>Tra&amp;nsponders:</source>
        <translation>&amp;Транспондеры:</translation>
    </message>
    <message>
        <source>F&amp;reqency [MHz]:</source>
        <translation>&amp;Частота [МГц]:</translation>
    </message>
    <message>
        <source>S&amp;ymbol-Rate [kS/s]:</source>
        <translation>Си&amp;м. скорость [кС/с]:</translation>
    </message>
    <message>
        <source>DiSEqC 1.&amp;2</source>
        <translation>DiSEqC 1.&amp;2</translation>
    </message>
    <message>
        <source>S&amp;attelite</source>
        <translation>Сп&amp;утник</translation>
    </message>
    <message>
        <source>T&amp;une</source>
        <translation>Т&amp;очно</translation>
    </message>
    <message>
        <source>Li&amp;mits</source>
        <translation>П&amp;ределы</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Файл</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>&amp;Параметры</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Вид</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>Справк&amp;а</translation>
    </message>
    <message>
        <source>The signal has not changed since the goto west: if the dish did not move, the motor may need the Typical west code 0x00 (Options, Settings, Drive Motor, Version).</source>
        <translation>Сигнал не изменился после перехода на запад: если антенна не сдвинулась, мотору, возможно, нужен код запада Typical 0x00 (Параметры, Настройки, Привод, Тип).</translation>
    </message>
    <message>
        <source>The signal has not changed since the goto west: if the dish did not move, the motor may need the STAB west code 0xD0 (Options, Settings, Drive Motor, Version).</source>
        <translation>Сигнал не изменился после перехода на запад: если антенна не сдвинулась, мотору, возможно, нужен код запада STAB 0xD0 (Параметры, Настройки, Привод, Тип).</translation>
    </message>
    <message>
        <source>Syst&amp;em:</source>
        <translation>С&amp;истема:</translation>
    </message>
    <message>
        <source>The transponder&apos;s delivery system and, for DVB-S2, its modulation; a pick from the list fills it in</source>
        <translation>Стандарт вещания транспондера и, для DVB-S2, его модуляция; выбор из списка заполняет поле</translation>
    </message>
    <message>
        <source>Tuned %1 %2 %3, %4</source>
        <translation>Настроено %1 %2 %3, %4</translation>
    </message>
    <message>
        <source>Not locked</source>
        <translation>Нет захвата</translation>
    </message>
    <message>
        <source>Locked: %1</source>
        <translation>Захват: %1</translation>
    </message>
    <message>
        <source>No lock: C/N %1 dB, and %2 needs %3 dB. The signal is too weak for this dish here, or the dish is off the satellite.</source>
        <translation>Нет захвата: C/N %1 дБ, а %2 нужно %3 дБ. Сигнал слишком слаб для этой антенны здесь, или антенна не на спутнике.</translation>
    </message>
    <message>
        <source>This receiver cannot receive DVB-S2: the meters show the carrier, but it will never lock. Choose a DVB-S2 receiver (--receiver sim or dvb).</source>
        <translation>Этот приёмник не принимает DVB-S2: индикаторы показывают несущую, но захвата не будет. Выберите приёмник DVB-S2 (--receiver sim или dvb).</translation>
    </message>
    <message>
        <source>The receiver %1 is gone (unplugged, or its driver unloaded); Zenara opens it again when it is back</source>
        <translation>Приёмник %1 пропал (отключён или выгружен его драйвер); Zenara откроет его снова, когда он вернётся</translation>
    </message>
    <message>
        <source>The receiver %1 is back</source>
        <translation>Приёмник %1 снова на месте</translation>
    </message>
    <message>
        <source>Locked: %1, needs %2 dB; takes %3 dB of rain</source>
        <translation>Захват: %1, нужно %2 дБ; выдержит дождь до %3 дБ</translation>
    </message>
    <message>
        <source>C/N %1 dB, takes %2 dB of rain</source>
        <translation>C/N %1 дБ, выдержит дождь до %2 дБ</translation>
    </message>
    <message>
        <source>The carrier to noise ratio; how much rain the link takes is shown once it locks.</source>
        <translation>Отношение несущая/шум; сколько дождя выдержит линия, будет видно после захвата.</translation>
    </message>
    <message>
        <source>How much rain fade the link takes before the lock goes, for a typical Ku-band dish and transponder: rain weakens the carrier and adds noise of its own, so the C/N falls faster than the fade. Errors begin sooner: %1 needs %2 dB for error-free reception, %3 dB under the C/N now; the lock goes about 1 dB lower.</source>
        <translation>Какое замирание от дождя выдержит линия, прежде чем пропадёт захват, для типичной антенны и транспондера Ku-диапазона: дождь ослабляет несущую и добавляет собственный шум, поэтому C/N падает быстрее, чем растёт замирание. Ошибки начнутся раньше: %1 нужно %2 дБ для приёма без ошибок, на %3 дБ ниже нынешнего C/N; захват пропадёт примерно на 1 дБ ниже.</translation>
    </message>
    <message>
        <source>Network: %1 — you are on a satellite at %2, not %3</source>
        <translation>Сеть: %1 — антенна на спутнике на %2, а не на %3</translation>
    </message>
    <message>
        <source>Network: %1 — you are on %2 at %3, not %4</source>
        <translation>Сеть: %1 — антенна на %2 (%3), а не на %4</translation>
    </message>
    <message>
        <source>%1: not found, left out</source>
        <translation>%1: не найден, пропущен</translation>
    </message>
    <message>
        <source>%1: reading not usable, left out</source>
        <translation>%1: показание непригодно, пропущено</translation>
    </message>
    <message>
        <source>%1: below the horizon, left out</source>
        <translation>%1: ниже горизонта, пропущен</translation>
    </message>
    <message>
        <source>the motor&apos;s zero</source>
        <translation>ноль мотора</translation>
    </message>
    <message>
        <source>the mount&apos;s azimuth</source>
        <translation>азимут подвеса</translation>
    </message>
    <message>
        <source>the mount&apos;s elevation</source>
        <translation>угол места подвеса</translation>
    </message>
    <message>
        <source>the declination offset</source>
        <translation>поправка склонения</translation>
    </message>
    <message>
        <source>One satellite is not enough to tell the errors apart: find more, spread across the arc</source>
        <translation>Одного спутника мало, чтобы различить ошибки: найдите ещё, по всей дуге</translation>
    </message>
    <message>
        <source>Two satellites leave no reading over to check the result: a third would show a wrong peak</source>
        <translation>Два спутника не оставляют показаний для проверки результата: третий выявил бы неверный пик</translation>
    </message>
    <message>
        <source>All satellites lie east of the meridian: find one to the west</source>
        <translation>Все спутники к востоку от меридиана: найдите один на западе</translation>
    </message>
    <message>
        <source>All satellites lie west of the meridian: find one to the east</source>
        <translation>Все спутники к западу от меридиана: найдите один на востоке</translation>
    </message>
    <message>
        <source>Motor angles give the motor&apos;s zero and the mount&apos;s azimuth only together (both turn the dish along the arc)</source>
        <translation>Углы мотора дают ноль мотора и азимут подвеса только вместе (оба поворачивают антенну вдоль дуги)</translation>
    </message>
    <message>
        <source>Motor angles alone cannot show the declination offset: it moves the dish&apos;s path across the arc, not along it</source>
        <translation>Одни углы мотора не показывают поправку склонения: она смещает путь антенны поперёк дуги, а не вдоль</translation>
    </message>
    <message>
        <source>Not determined yet, needs more satellites spread across the arc: %1</source>
        <translation>Ещё не определено, нужны спутники по всей дуге: %1</translation>
    </message>
    <message>
        <source>Not determined yet, needs a second round with cross-track readings: %1</source>
        <translation>Ещё не определено, нужен второй проход с поперечными отклонениями: %1</translation>
    </message>
    <message>
        <source>The readings disagree by more than their noise (rms %1°): check %2 first</source>
        <translation>Показания расходятся сильнее своего шума (СКО %1°): сначала проверьте %2</translation>
    </message>
    <message>
        <source>The site&apos;s position is not valid</source>
        <translation>Координаты места неверны</translation>
    </message>
    <message>
        <source>No satellite to fit</source>
        <translation>Нет спутников для расчёта</translation>
    </message>
    <message>
        <source>The readings give no solution</source>
        <translation>Показания не дают решения</translation>
    </message>
    <message>
        <source>The motor&apos;s zero is %1° east (gotos allow for it)</source>
        <translation>Ноль мотора на %1° восточнее (переходы это учитывают)</translation>
    </message>
    <message>
        <source>The motor&apos;s zero is %1° west (gotos allow for it)</source>
        <translation>Ноль мотора на %1° западнее (переходы это учитывают)</translation>
    </message>
    <message>
        <source>Turn the mount %1° west</source>
        <translation>Поверните подвес на %1° к западу</translation>
    </message>
    <message>
        <source>Turn the mount %1° east</source>
        <translation>Поверните подвес на %1° к востоку</translation>
    </message>
    <message>
        <source>Declination offset %1° too large (this site needs %2°)</source>
        <translation>Поправка склонения на %1° больше нужной (здесь нужно %2°)</translation>
    </message>
    <message>
        <source>Declination offset %1° too small (this site needs %2°)</source>
        <translation>Поправка склонения на %1° меньше нужной (здесь нужно %2°)</translation>
    </message>
    <message>
        <source>Too few readings to advise</source>
        <translation>Слишком мало показаний для совета</translation>
    </message>
    <message>
        <source>The mount needs no adjustment</source>
        <translation>Подвес не нужно регулировать</translation>
    </message>
    <message>
        <source>Nothing measured so far needs adjusting</source>
        <translation>Ничто из измеренного не нужно регулировать</translation>
    </message>
    <message>
        <source>A&amp;rc</source>
        <translation>&amp;Дуга</translation>
    </message>
    <message>
        <source>Satellites:</source>
        <translation>Спутники:</translation>
    </message>
    <message>
        <source>The satellites to calibrate on, such as 28.2E 13.0E 5.0W: three or more spread over the arc. Empty: Zenara picks them.</source>
        <translation>Спутники для калибровки, например 28.2E 13.0E 5.0W: три или больше по всей дуге. Пусто: Zenara выберет сама.</translation>
    </message>
    <message>
        <source>Calibrate the arc</source>
        <translation>Калибровать дугу</translation>
    </message>
    <message>
        <source>Goes to each satellite, peaks it and fits the mount&apos;s errors: what to adjust, and every USALS goto corrected. Halt ends it.</source>
        <translation>Переходит к каждому спутнику, находит максимум и рассчитывает ошибки подвеса: что подрегулировать; все переходы USALS исправляются. Стоп прерывает.</translation>
    </message>
    <message>
        <source>Adjusted</source>
        <translation>Отрегулировано</translation>
    </message>
    <message>
        <source>The mount was adjusted as advised: gotos allow for it until the next calibration.</source>
        <translation>Подвес отрегулирован по совету: переходы учитывают это до следующей калибровки.</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Сбросить</translation>
    </message>
    <message>
        <source>Forgets the calibration: gotos go to the USALS angles again (the satellites&apos; own offsets stay).</source>
        <translation>Забывает калибровку: переходы снова идут на углы USALS (собственные поправки спутников остаются).</translation>
    </message>
    <message>
        <source>Own offset:</source>
        <translation>Своя поправка:</translation>
    </message>
    <message>
        <source>Degrees east (negative: west) the selected satellite&apos;s goto goes beyond where the calibration puts it, for a satellite that is not at its nominal position.</source>
        <translation>На сколько градусов к востоку (минус: к западу) переход к выбранному спутнику идёт дальше рассчитанного, для спутника не на своей номинальной позиции.</translation>
    </message>
    <message>
        <source>°</source>
        <translation>°</translation>
    </message>
    <message>
        <source>Keep</source>
        <translation>Запомнить</translation>
    </message>
    <message>
        <source>The arc is being calibrated already</source>
        <translation>Дуга уже калибруется</translation>
    </message>
    <message>
        <source>Calibrating the arc needs two satellites or more with a transponder to lock to in the lists</source>
        <translation>Для калибровки дуги нужны два спутника или больше с транспондером для захвата в списках</translation>
    </message>
    <message>
        <source>Calibrating the arc: %1</source>
        <translation>Калибровка дуги: %1</translation>
    </message>
    <message>
        <source>Calibrating the arc: halted, nothing changed</source>
        <translation>Калибровка дуги: остановлена, ничего не изменено</translation>
    </message>
    <message>
        <source>Calibrate the arc: &quot;%1&quot; is not a position such as 13.0E or 5.0W</source>
        <translation>Калибровка дуги: «%1» — не позиция вида 13.0E или 5.0W</translation>
    </message>
    <message>
        <source>%1 (satellite %2 of %3, about %4 min %5 s left)</source>
        <translation>%1 (спутник %2 из %3, осталось около %4 мин %5 с)</translation>
    </message>
    <message>
        <source>Not calibrated: gotos go to the USALS angles.</source>
        <translation>Не откалибровано: переходы идут на углы USALS.</translation>
    </message>
    <message>
        <source>motor zero</source>
        <translation>ноль мотора</translation>
    </message>
    <message>
        <source>azimuth</source>
        <translation>азимут</translation>
    </message>
    <message>
        <source>elevation</source>
        <translation>угол места</translation>
    </message>
    <message>
        <source>declination</source>
        <translation>склонение</translation>
    </message>
    <message>
        <source> (not yet told)</source>
        <translation> (пока не определено)</translation>
    </message>
    <message>
        <source>Round %1: %2</source>
        <translation>Проход %1: %2</translation>
    </message>
    <message>
        <source>Tune: nowhere near was better than the start, so the dish is back there</source>
        <translation>Точная настройка: рядом не нашлось ничего лучше начального положения, антенна возвращена туда</translation>
    </message>
    <message>
        <source>Then click Adjusted, or Calibrate the arc to measure again</source>
        <translation>Затем нажмите «Отрегулировано» или снова «Калибровать дугу», чтобы измерить ещё раз</translation>
    </message>
    <message>
        <source>As a test, tip the mount up by %1° (its latitude scale %1° lower), then measure again: the change of each signal shows the rest</source>
        <translation>Для пробы наклоните подвес вверх на %1° (шкала широты на %1° меньше), затем измерьте снова: изменение каждого сигнала покажет остальное</translation>
    </message>
    <message>
        <source>As a test, tip the mount down by %1° (its latitude scale %1° higher), then measure again: the change of each signal shows the rest</source>
        <translation>Для пробы наклоните подвес вниз на %1° (шкала широты на %1° больше), затем измерьте снова: изменение каждого сигнала покажет остальное</translation>
    </message>
    <message>
        <source>Tip the mount down by %1° (its latitude scale %1° higher)</source>
        <translation>Наклоните подвес вниз на %1° (шкала широты на %1° больше)</translation>
    </message>
    <message>
        <source>Tip the mount up by %1° (its latitude scale %1° lower)</source>
        <translation>Наклоните подвес вверх на %1° (шкала широты на %1° меньше)</translation>
    </message>
    <message>
        <source>&amp;Phone meter…</source>
        <translation>Измеритель на &amp;телефоне…</translation>
    </message>
</context>
</TS>
