<?php
class A { function f($x) { return "v $x {$this->y}" . 'q'; } }
$h = <<<EOT
t
EOT;
/* c */ include "b.php"; ?>
<p><?= $h ?></p>
